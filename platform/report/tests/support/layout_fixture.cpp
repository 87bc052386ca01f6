#include "support/layout_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

#include "report/textmetrics.h"

namespace zentor::report::testing {

Document layout(const std::string& rpt, MemoryRowSource& rows, VariableStore* vars) {
  VariableStore local;
  FixedTextMetrics metrics;
  auto doc = layoutReport(rpt, rows, vars ? *vars : local, metrics);
  if (!doc.ok()) {
    ADD_FAILURE() << doc.status().toString();
    return Document();
  }
  return std::move(doc.value());
}

std::vector<std::string> linesWithY(const Page& page) {
  std::vector<std::string> out;
  for (const Item& it : page.items) {
    if (const auto* t = std::get_if<TextRun>(&it)) {
      const long tenths = std::lround(t->y * 10);
      out.push_back(std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "|" + t->text);
    }
  }
  return out;
}

std::string findText(const Page& page, const std::string& prefix) {
  for (const Item& it : page.items) {
    if (const auto* t = std::get_if<TextRun>(&it)) {
      if (t->text.compare(0, prefix.size(), prefix) == 0) return t->text;
    }
  }
  return {};
}

std::vector<std::string> allTexts(const Document& doc) {
  std::vector<std::string> out;
  for (const Page& p : doc.pages) {
    for (auto& s : pageTexts(p)) out.push_back(s);
  }
  return out;
}

}  // namespace zentor::report::testing
