// How the layout measures text. The layout never asks a font system directly: actual output uses
// the renderer's metrics (so layout and painting agree), tests use fixed metrics.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/document.h"

namespace zentor::report {

class TextMetrics {
 public:
  virtual ~TextMetrics() = default;
  // Width in mm of `text` (UTF-8, one line) set in `font`.
  virtual double width(std::string_view text, const Font& font) const = 0;
  // Distance in mm between the baselines of two lines of `font`.
  virtual double lineHeight(const Font& font) const = 0;
};

// Every character equally wide: `charWidthPerPoint` mm per point of font size (10 pt at the default
// 0.2 gives 2 mm), lines `lineHeightPerPoint` mm per point (10 pt: 5 mm). Bold and italic change
// nothing, so test expectations can be worked out by hand.
class FixedTextMetrics : public TextMetrics {
 public:
  explicit FixedTextMetrics(double charWidthPerPoint = 0.2, double lineHeightPerPoint = 0.5)
      : charWidth_(charWidthPerPoint), lineHeight_(lineHeightPerPoint) {}
  double width(std::string_view text, const Font& font) const override;
  double lineHeight(const Font& font) const override;

 private:
  double charWidth_;
  double lineHeight_;
};

// Breaks `text` into lines no wider than `width`: at explicit line ends (LF, CR LF or CR), then
// between words; a word wider than the line is broken between characters. Blanks at a break are
// dropped. An empty text gives no lines.
std::vector<std::string> wrapText(std::string_view text, double width, const Font& font,
                                  const TextMetrics& metrics);

}  // namespace zentor::report
