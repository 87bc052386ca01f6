#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "report/definition.h"
#include "strutil.h"

namespace zentor::report {
namespace {

using dbf::Result;
using dbf::Status;

// One value written after "key=" or on its own: a bare word or number, a "quoted text" or an
// {expression}.
struct Token {
  enum class Kind { kWord, kString, kExpr } kind = Kind::kWord;
  std::string key;  // empty for a positional value
  std::string text;
  bool used = false;
};

struct Statement {
  int line = 0;
  std::string keyword;  // lower case
  std::vector<Token> tokens;
};

class Parser {
 public:
  Parser(std::string_view text, std::string fileName) : text_(text), file_(std::move(fileName)) {}

  Result<ReportDefinition> run();

 private:
  Status error(int line, const std::string& what) const {
    return Status::Syntax(file_ + ":" + std::to_string(line) + ": " + what);
  }
  Status splitLine(std::string_view line, int lineNo, Statement* out) const;
  Status statement(Statement& st);
  Status element(Statement& st, Band& band);
  Status finish();

  // Attribute access; each marks the token used so that leftovers can be reported.
  Token* find(Statement& st, std::string_view key);
  Status word(Statement& st, std::string_view key, std::string* out, bool required = false);
  Status str(Statement& st, std::string_view key, std::string* out);
  Status number(Statement& st, std::string_view key, double* out, bool required = false);
  Status expr(Statement& st, std::string_view key, ExprText* out, bool required = false);
  bool flag(Statement& st, std::string_view name);
  Status fontAttrs(Statement& st, Font* font);
  Status leftovers(const Statement& st) const;

  std::string_view text_;
  std::string file_;
  ReportDefinition def_;
  Band* band_ = nullptr;  // the open band, between "band" and "end"
  bool haveMaster_ = false;
};

bool wordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-' || c == '+' ||
         c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

Status Parser::splitLine(std::string_view s, int lineNo, Statement* out) const {
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  };
  skipBlanks();
  const size_t kwStart = i;
  while (i < s.size() && wordChar(s[i])) ++i;
  out->keyword = lowerAscii(s.substr(kwStart, i - kwStart));
  out->line = lineNo;
  if (out->keyword.empty()) return error(lineNo, "expected a keyword");
  for (;;) {
    skipBlanks();
    if (i >= s.size() || s[i] == '#') break;
    Token t;
    if (wordChar(s[i])) {
      const size_t st = i;
      while (i < s.size() && wordChar(s[i])) ++i;
      std::string w(s.substr(st, i - st));
      if (i < s.size() && s[i] == '=') {
        t.key = lowerAscii(w);
        ++i;
        if (i >= s.size() || s[i] == ' ' || s[i] == '\t') return error(lineNo, "no value after '" + w + "='");
      } else {
        t.text = w;
        out->tokens.push_back(std::move(t));
        continue;
      }
    }
    if (s[i] == '"') {
      t.kind = Token::Kind::kString;
      ++i;
      bool closed = false;
      while (i < s.size()) {
        const char c = s[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < s.size()) {
          const char e = s[i++];
          t.text += e == 'n' ? '\n' : e;
        } else {
          t.text += c;
        }
      }
      if (!closed) return error(lineNo, "text not closed by '\"'");
    } else if (s[i] == '{') {
      t.kind = Token::Kind::kExpr;
      ++i;
      int depth = 1;
      char quote = 0;
      const size_t st = i;
      while (i < s.size()) {
        const char c = s[i];
        if (quote) {
          if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
          quote = c;
        } else if (c == '{') {
          ++depth;
        } else if (c == '}' && --depth == 0) {
          break;
        }
        ++i;
      }
      if (i >= s.size()) return error(lineNo, "expression not closed by '}'");
      t.text = trim(s.substr(st, i - st));
      ++i;
      if (t.text.empty()) return error(lineNo, "empty expression");
    } else if (wordChar(s[i])) {
      const size_t st = i;
      while (i < s.size() && wordChar(s[i])) ++i;
      t.text = std::string(s.substr(st, i - st));
    } else {
      return error(lineNo, std::string("unexpected character '") + s[i] + "'");
    }
    out->tokens.push_back(std::move(t));
  }
  return Status::OK();
}

Token* Parser::find(Statement& st, std::string_view key) {
  for (auto& t : st.tokens) {
    if (!t.key.empty() && t.key == key) {
      t.used = true;
      return &t;
    }
  }
  return nullptr;
}

Status Parser::word(Statement& st, std::string_view key, std::string* out, bool required) {
  Token* t = find(st, key);
  if (!t) return required ? error(st.line, st.keyword + ": '" + std::string(key) + "=' is missing") : Status::OK();
  if (t->kind == Token::Kind::kExpr) return error(st.line, "'" + std::string(key) + "' takes a name, not an expression");
  *out = t->text;
  return Status::OK();
}

Status Parser::str(Statement& st, std::string_view key, std::string* out) {
  Token* t = find(st, key);
  if (!t) return Status::OK();
  if (t->kind == Token::Kind::kExpr) return error(st.line, "'" + std::string(key) + "' takes a text, not an expression");
  *out = t->text;
  return Status::OK();
}

Status Parser::number(Statement& st, std::string_view key, double* out, bool required) {
  Token* t = find(st, key);
  if (!t) return required ? error(st.line, st.keyword + ": '" + std::string(key) + "=' is missing") : Status::OK();
  double v = 0;
  if (t->kind != Token::Kind::kWord || !parseNumber(t->text, &v)) {
    return error(st.line, "'" + std::string(key) + "' needs a number, got '" + t->text + "'");
  }
  *out = v;
  return Status::OK();
}

Status Parser::expr(Statement& st, std::string_view key, ExprText* out, bool required) {
  Token* t = find(st, key);
  if (!t) return required ? error(st.line, st.keyword + ": '" + std::string(key) + "={...}' is missing") : Status::OK();
  if (t->kind != Token::Kind::kExpr) {
    return error(st.line, "'" + std::string(key) + "' needs an expression in braces, got '" + t->text + "'");
  }
  out->text = t->text;
  out->line = st.line;
  return Status::OK();
}

bool Parser::flag(Statement& st, std::string_view name) {
  for (auto& t : st.tokens) {
    if (t.key.empty() && t.kind == Token::Kind::kWord && lowerAscii(t.text) == name) {
      t.used = true;
      return true;
    }
  }
  return false;
}

Status Parser::fontAttrs(Statement& st, Font* font) {
  std::string family;
  if (auto s = word(st, "font", &family); !s.ok()) return s;
  if (!family.empty()) font->family = family;
  if (auto s = number(st, "size", &font->size); !s.ok()) return s;
  if (font->size <= 0 || font->size > 200) return error(st.line, "font size out of range");
  if (flag(st, "bold")) font->bold = true;
  if (flag(st, "italic")) font->italic = true;
  if (flag(st, "regular")) font->bold = font->italic = false;
  return Status::OK();
}

Status Parser::leftovers(const Statement& st) const {
  for (const auto& t : st.tokens) {
    if (t.used) continue;
    if (!t.key.empty()) return error(st.line, "unknown attribute '" + t.key + "' for " + st.keyword);
    return error(st.line, "unexpected '" + t.text + "' in " + st.keyword);
  }
  return Status::OK();
}

Status Parser::element(Statement& st, Band& band) {
  Element e;
  e.line = st.line;
  e.font = def_.font;
  const std::string& k = st.keyword;
  if (k == "text") e.kind = ElementKind::kText;
  else if (k == "static") e.kind = ElementKind::kStatic;
  else if (k == "line") e.kind = ElementKind::kLine;
  else if (k == "box") e.kind = ElementKind::kBox;
  else if (k == "image") e.kind = ElementKind::kImage;
  else return error(st.line, "unknown element '" + k + "' (text, static, line, box, image)");

  const bool isLine = e.kind == ElementKind::kLine;
  Status s;
  if (!(s = number(st, "x", &e.x)).ok() || !(s = number(st, "y", &e.y)).ok()) return s;
  if (isLine) {
    e.x2 = e.x;
    e.y2 = e.y;
    if (!(s = number(st, "x2", &e.x2)).ok() || !(s = number(st, "y2", &e.y2)).ok()) return s;
  } else {
    const bool sizeRequired = e.kind == ElementKind::kBox || e.kind == ElementKind::kImage;
    if (!(s = number(st, "w", &e.w, sizeRequired)).ok()) return s;
    if (!(s = number(st, "h", &e.h, sizeRequired)).ok()) return s;
    if (e.w < 0 || e.h < 0) return error(st.line, "negative size");
  }
  if (!(s = expr(st, "if", &e.condition)).ok()) return s;

  switch (e.kind) {
    case ElementKind::kText:
      if (!(s = expr(st, "value", &e.value, true)).ok()) return s;
      break;
    case ElementKind::kStatic: {
      Token* t = find(st, "text");
      if (!t || t->kind != Token::Kind::kString) return error(st.line, "static: 'text=\"...\"' is missing");
      e.text = t->text;
      break;
    }
    case ElementKind::kImage:
      if (!(s = expr(st, "file", &e.value, true)).ok()) return s;
      break;
    case ElementKind::kLine:
    case ElementKind::kBox:
      if (!(s = number(st, "width", &e.lineWidth)).ok()) return s;
      if (e.kind == ElementKind::kBox) {
        double fill = -1;
        if (!(s = number(st, "fill", &fill)).ok()) return s;
        if (fill > 255) return error(st.line, "fill is a grey level from 0 (black) to 255 (white)");
        e.fillGray = fill < 0 ? -1 : static_cast<int>(fill);
      }
      break;
  }
  if (e.kind == ElementKind::kText || e.kind == ElementKind::kStatic) {
    if (!(s = fontAttrs(st, &e.font)).ok()) return s;
    std::string align;
    if (!(s = word(st, "align", &align)).ok()) return s;
    align = lowerAscii(align);
    if (align == "right") e.align = Align::kRight;
    else if (align == "center") e.align = Align::kCenter;
    else if (align.empty() || align == "left") e.align = Align::kLeft;
    else return error(st.line, "align is left, center or right, not '" + align + "'");
    e.grow = flag(st, "grow");
  }
  if (e.kind == ElementKind::kText) {
    double dec = -1;
    if (!(s = number(st, "decimals", &dec)).ok()) return s;
    if (dec > 10) return error(st.line, "too many decimals");
    e.format.decimals = dec < 0 ? -1 : static_cast<int>(dec);
    e.format.thousands = flag(st, "thousands");
    e.format.blankZero = flag(st, "blankzero");
    if (!(s = str(st, "picture", &e.format.picture)).ok()) return s;
  }
  if (!(s = leftovers(st)).ok()) return s;
  if (e.kind != ElementKind::kLine && e.w == 0) e.w = std::max(0.0, def_.page.bodyWidth() - e.x);
  band.elements.push_back(std::move(e));
  return Status::OK();
}

Status Parser::statement(Statement& st) {
  const std::string& k = st.keyword;
  Status s;
  if (band_) {
    if (k == "end") {
      band_ = nullptr;
      return leftovers(st);
    }
    if (k == "band") return error(st.line, "band inside a band (missing 'end' before)");
    return element(st, *band_);
  }
  if (k == "end") return error(st.line, "'end' without a band");
  if (k == "report") {
    if (!(s = str(st, "name", &def_.name)).ok() || !(s = str(st, "title", &def_.title)).ok()) return s;
  } else if (k == "page") {
    std::string format = "A4", orientation = "portrait";
    if (!(s = word(st, "format", &format)).ok() || !(s = word(st, "orientation", &orientation)).ok()) return s;
    static const std::map<std::string, std::pair<double, double>> kFormats = {
        {"a3", {297, 420}}, {"a4", {210, 297}}, {"a5", {148, 210}}, {"letter", {215.9, 279.4}}};
    auto it = kFormats.find(lowerAscii(format));
    if (it == kFormats.end()) return error(st.line, "unknown page format '" + format + "' (A3, A4, A5, Letter)");
    auto [w, h] = it->second;
    orientation = lowerAscii(orientation);
    if (orientation == "landscape") std::swap(w, h);
    else if (orientation != "portrait") return error(st.line, "orientation is portrait or landscape");
    // A paper size of its own (labels, slips) overrides the format.
    if (!(s = number(st, "width", &w)).ok() || !(s = number(st, "height", &h)).ok()) return s;
    if (w < 20 || h < 20 || w > 2000 || h > 2000) return error(st.line, "page size out of range");
    def_.page.width = w;
    def_.page.height = h;
    PageSpec& p = def_.page;
    if (!(s = number(st, "left", &p.left)).ok() || !(s = number(st, "right", &p.right)).ok() ||
        !(s = number(st, "top", &p.top)).ok() || !(s = number(st, "bottom", &p.bottom)).ok()) {
      return s;
    }
    if (p.left < 0 || p.right < 0 || p.top < 0 || p.bottom < 0 || p.left + p.right >= p.width - 10 ||
        p.top + p.bottom >= p.height - 10) {
      return error(st.line, "margins leave no room on the page");
    }
  } else if (k == "font") {
    std::string family;
    if (!(s = word(st, "family", &family)).ok()) return s;
    if (!family.empty()) def_.font.family = family;
    if (!(s = fontAttrs(st, &def_.font)).ok()) return s;
  } else if (k == "variable") {
    Variable v;
    v.line = st.line;
    std::string type;
    if (!(s = word(st, "name", &v.name, true)).ok() || !(s = word(st, "type", &type, true)).ok()) return s;
    type = lowerAscii(type);
    if (type == "text" || type == "c") v.initial = dbf::Value(std::string());
    else if (type == "number" || type == "n") v.initial = dbf::Value(0.0);
    else if (type == "date" || type == "d") v.initial = dbf::Value(dbf::Date());
    else if (type == "logical" || type == "l") v.initial = dbf::Value::logical(false);
    else return error(st.line, "variable type is text, number, date or logical, not '" + type + "'");
    for (const auto& o : def_.variables) {
      if (equalsIgnoreCase(o.name, v.name)) return error(st.line, "variable '" + v.name + "' declared twice");
    }
    def_.variables.push_back(std::move(v));
  } else if (k == "master") {
    if (haveMaster_) return error(st.line, "a second master");
    haveMaster_ = true;
    if (!(s = word(st, "alias", &def_.data.master, true)).ok() || !(s = word(st, "order", &def_.data.masterOrder)).ok()) {
      return s;
    }
    def_.data.master = upperAscii(def_.data.master);
    def_.data.masterOrder = upperAscii(def_.data.masterOrder);
  } else if (k == "select") {
    if (st.tokens.size() != 1 || st.tokens[0].kind != Token::Kind::kExpr || !st.tokens[0].key.empty()) {
      return error(st.line, "select takes one expression in braces");
    }
    st.tokens[0].used = true;
    def_.data.select = {st.tokens[0].text, st.line};
  } else if (k == "range") {
    if (!(s = expr(st, "seek", &def_.data.seek)).ok() || !(s = expr(st, "while", &def_.data.whileCond)).ok()) return s;
  } else if (k == "relation" || k == "lookup") {
    Relation r;
    r.line = st.line;
    r.many = k == "relation";
    if (!(s = word(st, "alias", &r.alias, true)).ok() || !(s = word(st, "parent", &r.parent, true)).ok() ||
        !(s = expr(st, "key", &r.key, true)).ok() || !(s = word(st, "order", &r.order)).ok()) {
      return s;
    }
    if (r.many) r.outer = flag(st, "outer");
    r.alias = upperAscii(r.alias);
    r.parent = upperAscii(r.parent);
    r.order = upperAscii(r.order);
    bool parentKnown = r.parent == def_.data.master && haveMaster_;
    for (const auto& o : def_.data.relations) {
      if (o.alias == r.alias) return error(st.line, "table '" + r.alias + "' related twice");
      if (o.alias == r.parent) parentKnown = true;
      if (r.many && o.many && o.parent == r.parent) {
        return error(st.line, "'" + r.parent + "' already has a relation with many rows");
      }
    }
    if (r.alias == def_.data.master) return error(st.line, "the master cannot be related to itself");
    if (!parentKnown) return error(st.line, "parent '" + r.parent + "' is neither the master nor a related table above");
    if (r.many && r.parent != def_.data.master) {
      // Rows of two independent lists would multiply; a list hangs off the master or a list.
      bool parentIsList = false;
      for (const auto& o : def_.data.relations) parentIsList = parentIsList || (o.alias == r.parent && o.many);
      if (!parentIsList) return error(st.line, "a relation with many rows needs the master or another such relation as parent");
    }
    def_.data.relations.push_back(std::move(r));
  } else if (k == "group") {
    Group g;
    g.line = st.line;
    if (!(s = word(st, "name", &g.name, true)).ok() || !(s = expr(st, "key", &g.key, true)).ok()) return s;
    g.name = upperAscii(g.name);
    g.newPage = flag(st, "newpage");
    for (const auto& o : def_.groups) {
      if (o.name == g.name) return error(st.line, "group '" + g.name + "' declared twice");
    }
    def_.groups.push_back(std::move(g));
  } else if (k == "total") {
    Total t;
    t.line = st.line;
    if (!(s = word(st, "name", &t.name, true)).ok()) return s;
    if (Token* sum = find(st, "sum")) {
      if (sum->kind != Token::Kind::kExpr) return error(st.line, "'sum' needs an expression in braces");
      t.value = {sum->text, st.line};
    } else if (flag(st, "count")) {
      t.kind = TotalKind::kCount;
    } else {
      return error(st.line, "total needs 'sum={...}' or 'count'");
    }
    if (!(s = expr(st, "when", &t.when)).ok()) return s;
    std::string reset = "report";
    if (!(s = word(st, "reset", &reset)).ok()) return s;
    reset = upperAscii(reset);
    if (reset == "REPORT") {
      t.reset = TotalReset::kReport;
    } else if (reset == "PAGE") {
      t.reset = TotalReset::kPage;
    } else {
      t.reset = TotalReset::kGroup;
      t.group = reset;
      bool known = false;
      for (const auto& g : def_.groups) known = known || g.name == reset;
      if (!known) return error(st.line, "reset names no group declared above: '" + reset + "'");
    }
    for (const auto& o : def_.totals) {
      if (equalsIgnoreCase(o.name, t.name)) return error(st.line, "total '" + t.name + "' declared twice");
    }
    def_.totals.push_back(std::move(t));
  } else if (k == "band") {
    Band b;
    b.line = st.line;
    if (st.tokens.empty() || !st.tokens[0].key.empty() || st.tokens[0].kind != Token::Kind::kWord) {
      return error(st.line, "band needs its kind first");
    }
    st.tokens[0].used = true;
    const std::string kind = lowerAscii(st.tokens[0].text);
    static const std::map<std::string, BandKind> kKinds = {
        {"reportheader", BandKind::kReportHeader}, {"pageheader", BandKind::kPageHeader},
        {"groupheader", BandKind::kGroupHeader},   {"detail", BandKind::kDetail},
        {"groupfooter", BandKind::kGroupFooter},   {"pagefooter", BandKind::kPageFooter},
        {"summary", BandKind::kReportSummary}};
    auto it = kKinds.find(kind);
    if (it == kKinds.end()) return error(st.line, "unknown band kind '" + st.tokens[0].text + "'");
    b.kind = it->second;
    if (!(s = number(st, "height", &b.height, true)).ok()) return s;
    if (b.height < 0 || b.height > def_.page.height) return error(st.line, "band height out of range");
    if (!(s = expr(st, "if", &b.condition)).ok()) return s;
    b.keep = flag(st, "keep");
    if (b.kind == BandKind::kGroupHeader || b.kind == BandKind::kGroupFooter) {
      if (!(s = word(st, "group", &b.group, true)).ok()) return s;
      b.group = upperAscii(b.group);
      bool known = false;
      for (const auto& g : def_.groups) known = known || g.name == b.group;
      if (!known) return error(st.line, "band names no group declared above: '" + b.group + "'");
      if (b.kind == BandKind::kGroupHeader) b.repeat = flag(st, "repeat");
    }
    if (b.kind == BandKind::kDetail) {
      double cols = 1;
      if (!(s = number(st, "columns", &cols)).ok() || !(s = number(st, "pitch", &b.pitch)).ok()) return s;
      if (cols < 1 || cols > 20 || cols != std::floor(cols)) return error(st.line, "columns is a whole number from 1 to 20");
      b.columns = static_cast<int>(cols);
      if (b.columns > 1 && b.pitch <= 0) return error(st.line, "columns need a pitch");
    }
    if (!(s = leftovers(st)).ok()) return s;
    def_.bands.push_back(std::move(b));
    band_ = &def_.bands.back();
    return Status::OK();
  } else {
    return error(st.line, "unknown statement '" + k + "'");
  }
  return leftovers(st);
}

Result<ReportDefinition> Parser::run() {
  int lineNo = 0;
  int startLine = 0;
  std::string pending;
  size_t pos = 0;
  int openBandLine = 0;
  while (pos <= text_.size()) {
    size_t eol = text_.find('\n', pos);
    if (eol == std::string_view::npos) eol = text_.size();
    std::string_view raw = text_.substr(pos, eol - pos);
    pos = eol + 1;
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (lineNo == 1 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
    if (pending.empty()) startLine = lineNo;
    std::string line = pending + std::string(raw);
    pending.clear();
    if (!line.empty() && line.back() == '\\') {
      line.pop_back();
      pending = line + " ";
      if (pos > text_.size()) return error(startLine, "continuation at the end of the file");
      continue;
    }
    const std::string t = trim(line);
    if (t.empty() || t[0] == '#') {
      if (pos > text_.size()) break;
      continue;
    }
    Statement st;
    if (auto s = splitLine(t, startLine, &st); !s.ok()) return s;
    const bool wasInBand = band_ != nullptr;
    if (auto s = statement(st); !s.ok()) return s;
    if (!wasInBand && band_) openBandLine = startLine;
    if (pos > text_.size()) break;
  }
  if (band_) return error(openBandLine, "band not closed by 'end'");
  return std::move(def_);
}

}  // namespace

Result<ReportDefinition> parseReport(std::string_view text, const std::string& fileName) {
  Parser p(text, fileName);
  return p.run();
}

Result<ReportDefinition> loadReportFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::NotFound("report file " + path + " cannot be opened");
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return Status::IoError("report file " + path + " cannot be read");
  const std::string text = ss.str();
  const size_t slash = path.find_last_of("/\\");
  return parseReport(text, slash == std::string::npos ? path : path.substr(slash + 1));
}

}  // namespace zentor::report
