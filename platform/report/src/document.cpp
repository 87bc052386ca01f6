#include "report/document.h"

#include <cstdio>

namespace zentor::report {
namespace {

// One decimal, '.' as the point, whatever the C locale says.
std::string mm(double v) {
  const long tenths = static_cast<long>(v >= 0 ? v * 10 + 0.5 : v * 10 - 0.5);
  const long a = tenths < 0 ? -tenths : tenths;
  return std::string(tenths < 0 ? "-" : "") + std::to_string(a / 10) + "." + std::to_string(a % 10);
}

}  // namespace

std::string dumpPage(const Page& page, bool textOnly) {
  std::string out;
  for (const Item& item : page.items) {
    if (const auto* t = std::get_if<TextRun>(&item)) {
      out += "T " + mm(t->x) + " " + mm(t->y) + " " + mm(t->w) + " " + mm(t->h) + " \"" + t->text + "\"\n";
    } else if (textOnly) {
      continue;
    } else if (const auto* l = std::get_if<LineItem>(&item)) {
      out += "L " + mm(l->x1) + " " + mm(l->y1) + " " + mm(l->x2) + " " + mm(l->y2) + "\n";
    } else if (const auto* r = std::get_if<RectItem>(&item)) {
      out += "R " + mm(r->x) + " " + mm(r->y) + " " + mm(r->w) + " " + mm(r->h) + "\n";
    } else if (const auto* i = std::get_if<ImageItem>(&item)) {
      out += "I " + mm(i->x) + " " + mm(i->y) + " " + mm(i->w) + " " + mm(i->h) + " \"" + i->path + "\"\n";
    }
  }
  return out;
}

std::vector<std::string> pageTexts(const Page& page) {
  std::vector<std::string> out;
  for (const Item& item : page.items) {
    if (const auto* t = std::get_if<TextRun>(&item)) out.push_back(t->text);
  }
  return out;
}

}  // namespace zentor::report
