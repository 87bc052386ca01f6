// The installed printers, as the company data window and the batch printing offer them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zentor::os {

struct PrinterEntry {
  std::string name;
  bool isDefault = false;
  bool isLocal = false;  // attached to this machine (not a connection to a print server)
  std::string driver;
  std::string port;
  friend bool operator==(const PrinterEntry&, const PrinterEntry&) = default;
};

// Where GETPRINTERS gets its list from: the system's printer enumeration in the program, a fixed
// list in tests.
class PrinterSource {
 public:
  virtual ~PrinterSource() = default;
  // The printers in the order the system gives them, the default printer marked. Never fails: an
  // enumeration that breaks off returns what it had collected.
  virtual std::vector<PrinterEntry> GETPRINTERS() = 0;
};

// One printer as the system's enumeration reports it, before the program's rules are applied.
struct RawPrinter {
  std::string name;
  bool onlyLocalAttribute = false;  // the attribute word is exactly "local"
  std::string driver;
  std::string port;
};

// The default printer's name from the system profile's "device" value ("name,driver,port"): the
// text before the first comma, trimmed and upper-cased; empty when there is no default printer.
std::string defaultPrinterName(std::string_view deviceValue);

// The printer list from the enumeration: printers without a name are skipped, the entry whose
// upper-cased name equals `defaultName` (as defaultPrinterName gives it) is marked default.
std::vector<PrinterEntry> buildPrinterList(const std::vector<RawPrinter>& raw, std::string_view defaultName);

// The names of `printers` in order, as the program keeps them in gaDrucker.
std::vector<std::string> printerNames(const std::vector<PrinterEntry>& printers);

// A fixed list, for tests and for machines without a printer system.
class FixedPrinterSource : public PrinterSource {
 public:
  FixedPrinterSource() = default;
  explicit FixedPrinterSource(std::vector<PrinterEntry> printers) : printers_(std::move(printers)) {}
  std::vector<PrinterEntry> GETPRINTERS() override { return printers_; }

 private:
  std::vector<PrinterEntry> printers_;
};

}  // namespace zentor::os
