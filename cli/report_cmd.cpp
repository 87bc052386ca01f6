// zentorctl report: any report file laid out headless over the tables named on the command line
// and written to a PDF (and PNG pages), through the same calls the program makes: Init with the
// table list, the variables, the narrowing, then the output.

#include <cctype>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "command.h"
#include "dbf/value.h"

#ifdef ZENTOR_WITH_REPORTS
#include "headless_gui.h"

#include <memory>

#include "report/qtoutput.h"
#include "report/qtrender.h"
#include "report/rpreport.h"
#endif

namespace zentor::cli {
namespace {

namespace fs = std::filesystem;

// How a --var value is read. Kept beside the parser so --help and the code cannot drift apart.
constexpr std::string_view kVarRule =
    "report variable; VALUE: 'text' or \"text\" = text, dd.mm.yyyy = date, .T./.F. = logical, 12 or 12.5 or 12,5 = number";

#ifdef ZENTOR_WITH_REPORTS

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// d.m.yyyy or dd.mm.yyyy, a real calendar day.
std::optional<dbf::Date> parseVarDate(std::string_view s) {
  const size_t a = s.find('.');
  if (a == std::string_view::npos) return std::nullopt;
  const size_t b = s.find('.', a + 1);
  if (b == std::string_view::npos) return std::nullopt;
  const std::string_view day = s.substr(0, a), month = s.substr(a + 1, b - a - 1), year = s.substr(b + 1);
  if (!allDigits(day) || !allDigits(month) || !allDigits(year) || day.size() > 2 || month.size() > 2 ||
      year.size() != 4) {
    return std::nullopt;
  }
  const dbf::Date d = dbf::Date::fromYmd(std::stoi(std::string(year)), std::stoi(std::string(month)),
                                         std::stoi(std::string(day)));
  if (d.empty()) return std::nullopt;
  return d;
}

// An optional sign, digits, and at most one '.' or ',' with digits on at least one side.
std::optional<double> parseVarNumber(std::string_view s) {
  std::string text(s);
  size_t start = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  int separators = 0, digits = 0;
  for (size_t i = start; i < text.size(); ++i) {
    if (text[i] == '.' || text[i] == ',') {
      ++separators;
      text[i] = '.';
    } else if (text[i] >= '0' && text[i] <= '9') {
      ++digits;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0 || separators > 1) return std::nullopt;
  return std::stod(text);  // '.' is the C locale's point, and zentorctl never changes its locale
}

std::optional<dbf::Value> parseReportVariable(std::string_view text) {
  if (text.size() >= 2 && (text.front() == '\'' || text.front() == '"') && text.back() == text.front()) {
    return dbf::Value(text.substr(1, text.size() - 2));
  }
  if (text.size() == 3 && text[0] == '.' && text[2] == '.') {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[1])));
    if (c == 'T') return dbf::Value::logical(true);
    if (c == 'F') return dbf::Value::logical(false);
  }
  if (auto d = parseVarDate(text)) return dbf::Value(*d);
  if (auto n = parseVarNumber(text)) return dbf::Value(*n);
  return std::nullopt;
}

// "NAME=VALUE" split at the first '='; false when there is none or NAME is empty.
bool splitAssignment(const std::string& s, std::string* name, std::string* value) {
  const size_t eq = s.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  *name = s.substr(0, eq);
  *value = s.substr(eq + 1);
  return true;
}

int runReport(const Invocation& inv) {
  const ParsedArgs& a = inv.args;
  const std::string reportPath = a.positional[0];
  const std::optional<std::string> pdf = a.value("pdf");
  if (!pdf || pdf->empty()) return inv.fail("report needs --pdf OUT.pdf");

  std::vector<report::TableEntry> tables;
  for (const std::string& t : a.values("table")) {
    std::string alias, files;
    if (!splitAssignment(t, &alias, &files) || files.empty()) {
      return inv.fail("--table " + t + ": expected ALIAS=FILE or ALIAS=FILE,INDEX");
    }
    const size_t comma = files.find(',');
    report::TableEntry e{alias, files.substr(0, comma), comma == std::string::npos ? std::string() : files.substr(comma + 1)};
    if (e.tablePath.empty() || (comma != std::string::npos && e.indexPath.empty())) {
      return inv.fail("--table " + t + ": expected ALIAS=FILE or ALIAS=FILE,INDEX");
    }
    tables.push_back(std::move(e));
  }
  std::vector<std::pair<std::string, dbf::Value>> variables;
  for (const std::string& v : a.values("var")) {
    std::string name, text;
    if (!splitAssignment(v, &name, &text)) return inv.fail("--var " + v + ": expected NAME=VALUE");
    auto value = parseReportVariable(text);
    if (!value) {
      return inv.fail("--var " + v + ": cannot tell the type of '" + text +
                      "'; write a text in quotes, a date as dd.mm.yyyy, .T./.F. or a number");
    }
    variables.emplace_back(name, std::move(*value));
  }
  std::string indexAlias, indexTag;
  if (auto index = a.value("index"); index && (!splitAssignment(*index, &indexAlias, &indexTag) || indexTag.empty())) {
    return inv.fail("--index " + *index + ": expected ALIAS=TAG");
  }

  // Names without a directory are looked for in the report's own directory when --dir is left out.
  std::error_code ec;
  std::string directory = a.value("dir").value_or(std::string());
  if (directory.empty()) directory = fs::absolute(reportPath, ec).parent_path().string();
  if (!fs::is_directory(directory, ec)) return inv.fail("--dir " + directory + " is no directory");

  HeadlessGui gui;
  report::PdfOutput output(fs::path(*pdf).parent_path().string());
  report::RpReport rpt(output);
  if (!rpt.Init(nullptr, reportPath, directory, tables) || !rpt.IsValid()) {
    return inv.fail("report cannot be loaded: " + rpt.lastStatus().toString());
  }
  for (const auto& [name, value] : variables) rpt.SetVariableValue(name, value);
  if (!indexAlias.empty()) {
    rpt.SetIndex(indexAlias, indexTag);
    if (!rpt.lastStatus().ok()) return inv.fail("--index " + indexAlias + "=" + indexTag + ": " + rpt.lastStatus().toString());
  }
  if (auto sort = a.value("sort")) rpt.SetSortOrder(*sort);
  if (auto seek = a.value("seek")) rpt.SeekExpression(*seek);
  if (auto cond = a.value("while")) rpt.WhileExpression(*cond);

  auto doc = rpt.Render();
  if (!doc.ok()) return inv.fail("report cannot be laid out: " + doc.status().toString());
  const std::string title = fs::path(reportPath).stem().string();
  if (auto s = report::writePdf(doc.value(), *pdf, title); !s.ok()) {
    return inv.fail("cannot write " + *pdf + ": " + s.toString());
  }
  std::vector<std::string> pngs;
  if (auto pngDir = a.value("png")) {
    fs::create_directories(*pngDir, ec);
    if (ec) return inv.fail("cannot create " + *pngDir + ": " + ec.message());
    auto written = report::writePngPages(doc.value(), (fs::path(*pngDir) / fs::path(*pdf).stem()).string());
    if (!written.ok()) return inv.fail("cannot write the PNG pages: " + written.status().toString());
    pngs = std::move(written.value());
  }
  rpt.Close();

  const size_t pages = doc.value().pages.size();
  inv.out << pages << (pages == 1 ? " page" : " pages") << " written to " << *pdf << '\n';
  for (const std::string& p : pngs) inv.out << p << '\n';
  return kExitOk;
}

#else

int runReport(const Invocation& inv) {
  return inv.fail("this zentorctl was built without the report renderer (configure with -DZENTOR_GUI=ON)");
}

#endif

}  // namespace

std::vector<Command> reportCommands() {
  return {
      {"report",
       "FILE.RPT",
       "lays out a report over the given tables and writes it as PDF; prints the page count",
       1,
       1,
       {{"dir", "DATADIR", "where table and index names without a directory are looked for (default: the report's)"},
        {"table", "ALIAS=FILE[,INDEX]", "a table of the report, with its index file", true},
        {"var", "NAME=VALUE", kVarRule, true},
        {"index", "ALIAS=TAG", "orders the table by this tag"},
        {"sort", "EXPR", "sorts the master's rows by this expression (without --index)"},
        {"seek", "VALUE", "start key, an expression: 'MAIER' (text in quotes) or 11 (number)"},
        {"while", "EXPR", "rows are read while this holds, e.g. Art.Agrnr<=15"},
        {"pdf", "OUT.pdf", "the PDF to write (required)"},
        {"png", "DIR", "also writes every page as DIR/<pdf name>-<n>.png"}},
       runReport},
  };
}

}  // namespace zentor::cli
