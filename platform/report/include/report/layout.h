// Binding a report definition to its data and laying it out into pages, without any window
// system: text is measured through TextMetrics.
//
// Names in report expressions resolve, for a name without alias, to a report variable, a total,
// one of the built-in values below, or a field of the row source (the master's first); a name
// with alias ("APO.MENGE", "Art->Txt") always to a field. Built-in values:
//   nPage       number of the page being laid out (1-based)
//   nPageCount  number of pages of the whole report (the layout runs twice when it is used)
//   lLastPage   true while the page footer of the last page is laid out
//   lCarried    true in a page footer when the data go on on the next page (a band did not fit),
//               and in that next page's header: where a carried total ("Übertrag") belongs;
//               false before a group that begins on a new page and at the end
//
// The order of bands on a page: page header, then (page 1 only) the report header, the body, and
// the page footer at the bottom of the page (its space is kept free on every page). In the body,
// for every row: the footers of the groups that end (showing the previous row's values), the
// headers of the groups that begin, the detail bands; at the end the open groups' footers and
// the report summary.
//
// Group headers are kept with the first line of their first row: when they would stand alone at
// the foot of a page, the group starts on the next one.
//
// Totals accumulate once per row, after the page break that the row's first detail band may
// cause, so a page footer and the next page's header both show what was summed on the pages so
// far (the carried total, "Übertrag").
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/expr.h"
#include "dbf/status.h"
#include "report/definition.h"
#include "report/document.h"
#include "report/rowsource.h"
#include "report/textmetrics.h"

namespace zentor::report {

// The named values a caller hands to a report. A report file declares the variables it reads
// (with their initial value); setting one it does not declare is kept but unused.
class VariableStore {
 public:
  VariableStore();
  ~VariableStore();
  VariableStore(const VariableStore&) = delete;
  VariableStore& operator=(const VariableStore&) = delete;

  // Declares `name` with its initial value unless it is already there (then its value stays).
  void declare(const std::string& name, const dbf::Value& initial);
  void set(const std::string& name, const dbf::Value& v);  // case-insensitive name
  bool has(std::string_view name) const;
  dbf::Value get(std::string_view name) const;  // nil when unknown
  // A live view of the variable for compiled expressions; nullptr when it is not declared.
  std::shared_ptr<const dbf::ValueSource> source(std::string_view name) const;

 private:
  struct Slot;
  std::vector<std::shared_ptr<Slot>> slots_;
};

class CompiledReport {
 public:
  // Compiles every expression of `def`, binding fields through `source` and variables through
  // `vars`; both must outlive the result. The first expression that does not compile gives
  // Status::Syntax "<fileName>:<line>: <expression>: <reason>".
  static dbf::Result<std::unique_ptr<CompiledReport>> compile(const ReportDefinition& def, RowSource& source,
                                                              const VariableStore& vars,
                                                              const std::string& fileName,
                                                              const dbf::ExprSettings& settings = {});
  ~CompiledReport();
  CompiledReport(const CompiledReport&) = delete;
  CompiledReport& operator=(const CompiledReport&) = delete;

  // Whether an expression of the report reads nPageCount (then run() lays out twice).
  bool usesPageCount() const;

  // Rewinds the source and lays out every page. A read error of the source ends it with that
  // status. Runs again from the start when called again (variables may have changed).
  dbf::Result<Document> run(const TextMetrics& metrics);

 private:
  struct Impl;
  explicit CompiledReport(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Convenience for tests and simple callers: parse, compile against `source`, lay out.
// Declares the report's variables in `vars` (keeping values already set).
dbf::Result<Document> layoutReport(std::string_view reportText, RowSource& source, VariableStore& vars,
                                   const TextMetrics& metrics);

}  // namespace zentor::report
