#include "os/printers.h"

#include "dbf/collation.h"

namespace zentor::os {
namespace {

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string defaultPrinterName(std::string_view deviceValue) {
  const auto comma = deviceValue.find(',');
  if (comma != std::string_view::npos) deviceValue = deviceValue.substr(0, comma);
  return dbf::upperUtf8(trimBlanks(deviceValue));
}

std::vector<PrinterEntry> buildPrinterList(const std::vector<RawPrinter>& raw, std::string_view defaultName) {
  std::vector<PrinterEntry> out;
  for (const auto& p : raw) {
    if (p.name.empty()) continue;
    PrinterEntry e{p.name, false, p.onlyLocalAttribute, p.driver, p.port};
    e.isDefault = !defaultName.empty() && dbf::upperUtf8(p.name) == defaultName;
    out.push_back(std::move(e));
  }
  return out;
}

std::vector<std::string> printerNames(const std::vector<PrinterEntry>& printers) {
  std::vector<std::string> out;
  out.reserve(printers.size());
  for (const auto& p : printers) out.push_back(p.name);
  return out;
}

}  // namespace zentor::os
