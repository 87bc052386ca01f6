// The result of laying out a report: pages of positioned drawing primitives, all in millimetres
// from the top left corner of the page. Renderers (preview, printer, PDF, PNG) only paint these;
// nothing about the report or its data is left to decide at painting time.
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace zentor::report {

// A font as the report names it. `family` is one of the report's family names ("Sans", "Serif",
// "Mono", or a name a renderer maps to one of those); `size` is in points.
struct Font {
  std::string family = "Sans";
  double size = 10.0;
  bool bold = false;
  bool italic = false;
  friend bool operator==(const Font&, const Font&) = default;
};

enum class Align { kLeft, kCenter, kRight };

// One line of text inside its box; the renderer aligns it horizontally in the box and sets its
// baseline at the font's ascent below the box top. Text never wraps at painting time.
struct TextRun {
  double x = 0, y = 0, w = 0, h = 0;
  std::string text;  // UTF-8, no line breaks
  Font font;
  Align align = Align::kLeft;
};

struct LineItem {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  double width = 0.2;  // stroke width in mm
};

struct RectItem {
  double x = 0, y = 0, w = 0, h = 0;
  double width = 0.2;  // stroke width in mm; 0 = no outline
  int fillGray = -1;   // 0 (black) .. 255 (white); -1 = not filled
};

// An image file scaled into its box, keeping its aspect ratio. Only emitted when the file existed
// at layout time.
struct ImageItem {
  double x = 0, y = 0, w = 0, h = 0;
  std::string path;
};

using Item = std::variant<TextRun, LineItem, RectItem, ImageItem>;

struct Page {
  std::vector<Item> items;
};

struct Document {
  double width = 210.0;   // page size in mm
  double height = 297.0;
  std::vector<Page> pages;
};

// A dump of one page, one item per line, in drawing order, positions with one decimal:
//   T x y w h "text"        (text runs; with `textOnly` nothing else)
//   L x1 y1 x2 y2
//   R x y w h
//   I x y w h "path"
std::string dumpPage(const Page& page, bool textOnly = true);

// The texts of a page in drawing order, one per line (for tests that care about content only).
std::vector<std::string> pageTexts(const Page& page);

}  // namespace zentor::report
