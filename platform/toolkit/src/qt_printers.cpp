#include "toolkit/qt_printers.h"

#include <QPrinterInfo>

namespace zentor::toolkit {

std::vector<os::PrinterEntry> QtPrinterSource::GETPRINTERS() {
  std::vector<os::RawPrinter> raw;
  for (const QPrinterInfo& p : QPrinterInfo::availablePrinters()) {
    raw.push_back({p.printerName().toStdString(), !p.isRemote(), p.makeAndModel().toStdString(), {}});
  }
  return os::buildPrinterList(raw, os::defaultPrinterName(QPrinterInfo::defaultPrinterName().toStdString()));
}

}  // namespace zentor::toolkit
