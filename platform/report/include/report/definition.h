// The report file: what a .RPT file says, as read by parseReport. The format is described in
// docs/report-format.md. Expressions are kept as text with their line numbers here; they are
// compiled (and their errors reported with those lines) when the report is bound to its data.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dbf/status.h"
#include "dbf/value.h"
#include "report/document.h"
#include "report/format.h"

namespace zentor::report {

struct ExprText {
  std::string text;  // empty = not given
  int line = 0;      // 1-based line of the report file
  bool empty() const { return text.empty(); }
};

struct PageSpec {
  double width = 210.0;  // mm, after orientation
  double height = 297.0;
  double left = 20.0, right = 15.0, top = 15.0, bottom = 15.0;
  double bodyWidth() const { return width - left - right; }
};

// A table the report reads besides the master: one that follows a parent row.
struct Relation {
  std::string alias;   // upper case, one of the caller's table aliases
  std::string parent;  // upper case: the master or an earlier relation
  ExprText key;        // evaluated on the parent's row, sought in `order`
  std::string order;   // tag of the child's index; empty = its controlling tag
  // many: every child row whose key begins with the parent's key, one report row each (the
  // child is restricted to the parent's key); otherwise a lookup: the first match, or blank
  // fields when there is none.
  bool many = false;
  // For `many`: a parent without child rows still gives one row, with blank child fields.
  bool outer = false;
  int line = 0;
};

struct DataSpec {
  std::string master;       // upper case alias; empty = a report without data rows (one pass)
  std::string masterOrder;  // tag; empty = the order the index gives first, or natural order
  ExprText select;          // record selection: master rows for which it is false are skipped
  ExprText seek;            // start key in masterOrder (the caller's SeekExpression overrides it)
  ExprText whileCond;       // rows are read while it is true (the caller's WhileExpression too)
  std::vector<Relation> relations;  // in file order; parents precede children
};

struct Variable {
  std::string name;  // as written; looked up case-insensitively
  dbf::Value initial;
  int line = 0;
};

struct Group {
  std::string name;  // upper case
  ExprText key;
  bool newPage = false;  // every group but the first begins on a new page
  int line = 0;
};

enum class TotalKind { kSum, kCount };
enum class TotalReset { kReport, kPage, kGroup };

struct Total {
  std::string name;
  TotalKind kind = TotalKind::kSum;
  ExprText value;  // summed per row (kSum)
  ExprText when;   // rows for which it is false are not counted or summed
  TotalReset reset = TotalReset::kReport;
  std::string group;  // for kGroup, upper case
  int line = 0;
};

enum class ElementKind { kText, kStatic, kLine, kBox, kImage };

struct Element {
  ElementKind kind = ElementKind::kText;
  int line = 0;
  double x = 0, y = 0, w = 0, h = 0;  // from the left margin and the band's top; lines: x,y to x2,y2
  double x2 = 0, y2 = 0;
  ExprText value;           // kText: the value; kImage: the file path
  std::string text;         // kStatic
  ExprText condition;       // printed only when true
  Font font;
  Align align = Align::kLeft;
  bool grow = false;        // kText: wraps over as many lines as it needs; the band grows
  FormatSpec format;
  double lineWidth = 0.2;   // kLine, kBox
  int fillGray = -1;        // kBox
};

enum class BandKind {
  kReportHeader,
  kPageHeader,
  kGroupHeader,
  kDetail,
  kGroupFooter,
  kPageFooter,
  kReportSummary,
};

struct Band {
  BandKind kind = BandKind::kDetail;
  std::string group;  // kGroupHeader / kGroupFooter, upper case
  int line = 0;
  double height = 0;  // mm; growing elements can make it taller
  ExprText condition;
  // The band is moved whole to the next page rather than split (only a band taller than a page
  // is split anyway).
  bool keep = false;
  // kGroupHeader: printed again at the top of every page the group continues on.
  bool repeat = false;
  // kDetail: rows side by side, filled row by row (labels); `pitch` mm apart.
  int columns = 1;
  double pitch = 0;
  std::vector<Element> elements;
};

struct ReportDefinition {
  std::string name;
  std::string title;
  PageSpec page;
  Font font;  // the default of every element
  DataSpec data;
  std::vector<Variable> variables;
  std::vector<Group> groups;  // outermost first
  std::vector<Total> totals;
  std::vector<Band> bands;    // in file order; bands of one kind print in this order
};

// Parses the text of a report file. `fileName` only names the file in messages, which read
// "<fileName>:<line>: <what is wrong>" (Status::Syntax).
dbf::Result<ReportDefinition> parseReport(std::string_view text, const std::string& fileName);

// Reads and parses a file; a missing or unreadable file gives Status::NotFound / IoError.
dbf::Result<ReportDefinition> loadReportFile(const std::string& path);

}  // namespace zentor::report
