#include "report/textmetrics.h"

#include "dbf/codepage.h"

namespace zentor::report {

double FixedTextMetrics::width(std::string_view text, const Font& font) const {
  return static_cast<double>(dbf::utf8Length(text)) * font.size * charWidth_;
}

double FixedTextMetrics::lineHeight(const Font& font) const { return font.size * lineHeight_; }

namespace {

size_t charLen(unsigned char c) { return c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1; }

// Breaks one paragraph (no line ends in it).
void wrapParagraph(std::string_view para, double width, const Font& font, const TextMetrics& m,
                   std::vector<std::string>& out) {
  std::string line;
  size_t i = 0;
  auto flush = [&] {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out.push_back(line);
    line.clear();
  };
  while (i < para.size()) {
    // The next word with the blanks in front of it.
    size_t ws = i;
    while (ws < para.size() && para[ws] == ' ') ++ws;
    size_t we = ws;
    while (we < para.size() && para[we] != ' ') ++we;
    const std::string_view blanks = para.substr(i, ws - i);
    const std::string_view word = para.substr(ws, we - ws);
    i = we;
    const std::string candidate = line + std::string(line.empty() && !out.empty() ? std::string_view() : blanks) +
                                  std::string(word);
    if (m.width(candidate, font) <= width + 1e-9) {
      line = candidate;
      continue;
    }
    if (!line.empty()) flush();
    // The word alone on a new line; broken between characters when it is too wide even so.
    std::string piece;
    for (size_t k = 0; k < word.size();) {
      const size_t len = std::min(charLen(static_cast<unsigned char>(word[k])), word.size() - k);
      std::string next = piece + std::string(word.substr(k, len));
      if (!piece.empty() && m.width(next, font) > width + 1e-9) {
        out.push_back(piece);
        piece = std::string(word.substr(k, len));
      } else {
        piece = std::move(next);
      }
      k += len;
    }
    line = piece;
  }
  if (!line.empty() || out.empty() || para.empty()) flush();
}

}  // namespace

std::vector<std::string> wrapText(std::string_view text, double width, const Font& font, const TextMetrics& metrics) {
  std::vector<std::string> out;
  if (text.empty()) return out;
  // Trailing line ends add no empty lines at the bottom of a block.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t e = text.find_first_of("\r\n", pos);
    if (e == std::string_view::npos) e = text.size();
    std::vector<std::string> para;
    wrapParagraph(text.substr(pos, e - pos), width, font, metrics, para);
    out.insert(out.end(), para.begin(), para.end());
    if (e >= text.size()) break;
    pos = e + ((text[e] == '\r' && e + 1 < text.size() && text[e + 1] == '\n') ? 2 : 1);
  }
  return out;
}

}  // namespace zentor::report
