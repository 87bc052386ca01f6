#include "report/qtoutput.h"

#include <QPainter>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWidget>

namespace zentor::report {
namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

void preparePrinter(QPrinter& printer, const Document& doc, const OutputTexts& texts) {
  printer.setDocName(qs(texts.title.empty() ? texts.reportName : texts.title));
  printer.setFullPage(true);  // our coordinates start at the paper's corner
  printer.setPageSize(QPageSize(QSizeF(doc.width, doc.height), QPageSize::Millimeter));
  printer.setPageOrientation(QPageLayout::Portrait);  // the size carries the orientation
  printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

bool paintAll(QPrinter& printer, const Document& doc) {
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const double dpiX = printer.logicalDpiX(), dpiY = printer.logicalDpiY();
  for (size_t i = 0; i < doc.pages.size(); ++i) {
    if (i > 0 && !printer.newPage()) return false;
    paintPage(painter, doc.pages[i], dpiX, dpiY);
  }
  return painter.end();
}

}  // namespace

QtOutput::QtOutput() = default;
QtOutput::~QtOutput() = default;

dbf::Status QtOutput::preview(void* owner, const Document& doc, const OutputTexts& texts) {
  QPrinter printer(QPrinter::HighResolution);
  preparePrinter(printer, doc, texts);
  QPrintPreviewDialog dialog(&printer, static_cast<QWidget*>(owner));
  dialog.setWindowTitle(qs(texts.title));
  bool painted = true;
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                   [&doc, &painted](QPrinter* p) { painted = paintAll(*p, doc) && painted; });
  if (onPreviewOpen) onPreviewOpen(dialog);
  dialog.exec();
  return painted ? dbf::Status::OK() : dbf::Status::IoError("the preview could not be painted");
}

bool QtOutput::hasPrinter(const std::string& name) const {
  return QPrinterInfo::availablePrinterNames().contains(qs(name));
}

dbf::Status QtOutput::print(void*, const Document& doc, const std::string& printerName, const OutputTexts& texts) {
  const QPrinterInfo info = printerName.empty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(qs(printerName));
  if (info.isNull()) {
    return dbf::Status::NotFound(printerName.empty() ? std::string("no default printer") : "no printer named " + printerName);
  }
  QPrinter printer(info, QPrinter::HighResolution);
  preparePrinter(printer, doc, texts);
  if (!paintAll(printer, doc)) return dbf::Status::IoError("printing on " + printerName + " failed");
  return dbf::Status::OK();
}

PdfOutput::PdfOutput(std::string directory) : directory_(std::move(directory)) {}

dbf::Status PdfOutput::preview(void*, const Document& doc, const OutputTexts& texts) {
  const std::string path = pathFor ? pathFor(texts) : directory_ + "/" + (texts.reportName.empty() ? "report" : texts.reportName) + ".pdf";
  if (auto s = writePdf(doc, path, texts.title); !s.ok()) return s;
  written.push_back(path);
  return dbf::Status::OK();
}

bool PdfOutput::hasPrinter(const std::string&) const { return true; }

dbf::Status PdfOutput::print(void* owner, const Document& doc, const std::string&, const OutputTexts& texts) {
  return preview(owner, doc, texts);
}

void installQtReportOutput() {
  // Never destroyed: reports may run until the very end, and its font metrics must not outlive
  // the application object in a static destructor.
  static QtOutput* output = new QtOutput;
  setDefaultOutput(output);
}

}  // namespace zentor::report
