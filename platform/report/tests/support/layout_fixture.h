// Helpers for layout tests: small in-memory tables and readable access to laid-out pages.
#pragma once

#include <string>
#include <vector>

#include "report/document.h"
#include "report/layout.h"
#include "report/rowsource.h"

namespace zentor::report::testing {

// Lays out `rpt` over `rows` with the fixed test metrics (10 pt: 2 mm a character, 5 mm a line).
// Fails the calling test (ADD_FAILURE) and returns an empty document when the report does not
// load or run.
Document layout(const std::string& rpt, MemoryRowSource& rows, VariableStore* vars = nullptr);

// The text runs of a page as "y|text", y rounded to 0.1 mm, in drawing order.
std::vector<std::string> linesWithY(const Page& page);

// The first text run of the page that begins with `prefix`; "" when there is none.
std::string findText(const Page& page, const std::string& prefix);

// Every text run of every page, page by page.
std::vector<std::string> allTexts(const Document& doc);

}  // namespace zentor::report::testing
