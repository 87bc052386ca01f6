// GETPRINTERS from the printers the system offers through Qt (CUPS on Linux).
#pragma once

#include <vector>

#include "os/printers.h"

namespace zentor::toolkit {

class QtPrinterSource : public os::PrinterSource {
 public:
  // In the order the system lists them; the default printer marked; "local" for a printer that is
  // not a connection to a print server. Qt does not tell the port, so it stays empty.
  std::vector<os::PrinterEntry> GETPRINTERS() override;
};

}  // namespace zentor::toolkit
