#include "report/layout.h"

#include <algorithm>
#include <filesystem>

#include "report/format.h"
#include "strutil.h"

namespace zentor::report {

using dbf::Expression;
using dbf::Result;
using dbf::Status;
using dbf::Value;
using dbf::ValueSource;
using dbf::ValueType;

// ---------------------------------------------------------------------------------------------
// Variables

struct VariableStore::Slot {
  std::string name;
  Value value;
};

namespace {

class SlotSource : public ValueSource {
 public:
  explicit SlotSource(std::shared_ptr<const Value> v) : v_(std::move(v)) {}
  Value get() const override { return *v_; }
  // A caller may hand a value of another kind than declared; the type is only known per call.
  ValueType type() const override { return ValueType::kNil; }

 private:
  std::shared_ptr<const Value> v_;
};

}  // namespace

VariableStore::VariableStore() = default;
VariableStore::~VariableStore() = default;

void VariableStore::declare(const std::string& name, const Value& initial) {
  if (has(name)) return;
  auto s = std::make_shared<Slot>();
  s->name = name;
  s->value = initial;
  slots_.push_back(std::move(s));
}

void VariableStore::set(const std::string& name, const Value& v) {
  for (auto& s : slots_) {
    if (equalsIgnoreCase(s->name, name)) {
      s->value = v;
      return;
    }
  }
  auto s = std::make_shared<Slot>();
  s->name = name;
  s->value = v;
  slots_.push_back(std::move(s));
}

bool VariableStore::has(std::string_view name) const {
  for (const auto& s : slots_) {
    if (equalsIgnoreCase(s->name, name)) return true;
  }
  return false;
}

Value VariableStore::get(std::string_view name) const {
  for (const auto& s : slots_) {
    if (equalsIgnoreCase(s->name, name)) return s->value;
  }
  return Value();
}

std::shared_ptr<const ValueSource> VariableStore::source(std::string_view name) const {
  for (const auto& s : slots_) {
    if (equalsIgnoreCase(s->name, name)) {
      return std::make_shared<SlotSource>(std::shared_ptr<const Value>(s, &s->value));
    }
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Layout

namespace {

constexpr double kEps = 1e-6;

struct RunState {
  std::vector<Value> cur, prev;
  const std::vector<Value>* view = &cur;
  std::vector<double> totals;
  int page = 0;
  int pageCount = 0;
  bool lastPage = false;
  bool carried = false;  // the page break lies inside the data: totals carry over
};

template <class F>
class FnSource : public ValueSource {
 public:
  FnSource(F f, ValueType t) : f_(std::move(f)), t_(t) {}
  Value get() const override { return f_(); }
  ValueType type() const override { return t_; }

 private:
  F f_;
  ValueType t_;
};

template <class F>
std::shared_ptr<const ValueSource> makeSource(F f, ValueType t) {
  return std::make_shared<FnSource<F>>(std::move(f), t);
}

class ReportResolver : public dbf::Resolver {
 public:
  ReportResolver(std::shared_ptr<RunState> st, RowSource& src, const VariableStore& vars, const ReportDefinition& def)
      : st_(std::move(st)), src_(src), vars_(vars), def_(def) {}

  std::shared_ptr<const ValueSource> resolve(std::string_view alias, std::string_view name) override {
    if (alias.empty()) {
      if (auto v = vars_.source(name)) return v;
      for (size_t i = 0; i < def_.totals.size(); ++i) {
        if (equalsIgnoreCase(def_.totals[i].name, name)) {
          auto st = st_;
          return makeSource([st, i] { return Value(st->totals[i]); }, ValueType::kNumeric);
        }
      }
      auto st = st_;
      if (equalsIgnoreCase(name, "nPage")) return makeSource([st] { return Value(st->page); }, ValueType::kNumeric);
      if (equalsIgnoreCase(name, "nPageCount")) {
        usesPageCount = true;
        return makeSource([st] { return Value(st->pageCount); }, ValueType::kNumeric);
      }
      if (equalsIgnoreCase(name, "lLastPage")) {
        return makeSource([st] { return Value::logical(st->lastPage); }, ValueType::kLogical);
      }
      if (equalsIgnoreCase(name, "lCarried")) {
        return makeSource([st] { return Value::logical(st->carried); }, ValueType::kLogical);
      }
    }
    const int slot = src_.bindField(alias, name);
    if (slot < 0) return nullptr;
    auto st = st_;
    return makeSource(
        [st, slot] {
          const auto& row = *st->view;
          return slot < static_cast<int>(row.size()) ? row[slot] : Value();
        },
        ValueType::kNil);
  }

  bool usesPageCount = false;

 private:
  std::shared_ptr<RunState> st_;
  RowSource& src_;
  const VariableStore& vars_;
  const ReportDefinition& def_;
};

struct CElement {
  const Element* e = nullptr;
  Expression value;
  Expression cond;
};

struct CBand {
  const Band* b = nullptr;
  Expression cond;
  std::vector<CElement> elements;
};

struct CGroup {
  const Group* g = nullptr;
  Expression key;
  std::vector<size_t> headers, footers;  // indices into bands
};

struct CTotal {
  const Total* t = nullptr;
  Expression value;
  Expression when;
  int group = -1;
};

// A band as laid out: items relative to the band's top (x already absolute).
struct Rendered {
  std::vector<Item> items;
  double height = 0;
};

double itemTop(const Item& it) {
  if (auto* t = std::get_if<TextRun>(&it)) return t->y;
  if (auto* l = std::get_if<LineItem>(&it)) return std::min(l->y1, l->y2);
  if (auto* r = std::get_if<RectItem>(&it)) return r->y;
  return std::get<ImageItem>(it).y;
}

double itemBottom(const Item& it) {
  if (auto* t = std::get_if<TextRun>(&it)) return t->y + t->h;
  if (auto* l = std::get_if<LineItem>(&it)) return std::max(l->y1, l->y2);
  if (auto* r = std::get_if<RectItem>(&it)) return r->y + r->h;
  const auto& i = std::get<ImageItem>(it);
  return i.y + i.h;
}

void shiftItem(Item& it, double dy) {
  std::visit(
      [dy](auto& x) {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, LineItem>) {
          x.y1 += dy;
          x.y2 += dy;
        } else {
          x.y += dy;
        }
      },
      it);
}

}  // namespace

struct CompiledReport::Impl {
  const ReportDefinition* def = nullptr;
  RowSource* src = nullptr;
  std::shared_ptr<RunState> st = std::make_shared<RunState>();
  std::vector<CBand> bands;
  std::vector<CGroup> groups;
  std::vector<CTotal> totals;
  bool usesPageCount = false;

  // ---- per run ----
  const TextMetrics* metrics = nullptr;
  Document doc;
  double y = 0;
  double bodyTop = 0, bodyBottom = 0;
  bool pageFresh = true;
  int activeGroups = 0;
  int column = 0;  // next column of a multi-column detail row
  double rowTop = 0, rowHeight = 0;

  Page& page() { return doc.pages.back(); }

  bool test(const Expression& e) const { return !e.valid() || e.test(); }

  Rendered render(const CBand& band, double xOffset) const {
    Rendered r;
    const PageSpec& ps = def->page;
    const double x0 = ps.left + xOffset;
    struct Placed {
      const CElement* ce;
      std::vector<std::string> lines;
      double lineH = 0;
      double h = 0;  // actual height
      double growth = 0;
      double shift = 0;
    };
    std::vector<Placed> placed;
    for (const CElement& ce : band.elements) {
      if (!test(ce.cond)) continue;
      const Element& e = *ce.e;
      Placed p{&ce, {}, 0, e.h, 0, 0};
      if (e.kind == ElementKind::kText || e.kind == ElementKind::kStatic) {
        const std::string s = e.kind == ElementKind::kStatic ? e.text : formatValue(ce.value.evaluate(), e.format);
        p.lineH = metrics->lineHeight(e.font);
        const double boxH = e.h > 0 ? e.h : p.lineH;
        std::vector<std::string> lines = wrapText(s, e.w, e.font, *metrics);
        if (e.grow) {
          p.h = std::max(boxH, static_cast<double>(lines.size()) * p.lineH);
        } else {
          const size_t fit = std::max<size_t>(1, static_cast<size_t>((boxH + kEps) / p.lineH));
          if (lines.size() > fit) lines.resize(fit);
          p.h = boxH;
        }
        p.growth = std::max(0.0, p.h - boxH);
        p.lines = std::move(lines);
      } else if (e.kind == ElementKind::kImage) {
        const std::string path = ce.value.evaluate().text();
        std::error_code ec;
        if (trim(path).empty() || !std::filesystem::is_regular_file(path, ec)) continue;
        p.lines = {path};
      }
      placed.push_back(std::move(p));
    }
    // Elements below a growing one move down by its growth (and by whatever moved it).
    std::vector<size_t> order(placed.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return placed[a].ce->e->y < placed[b].ce->e->y; });
    double extra = 0;
    for (size_t oi = 0; oi < order.size(); ++oi) {
      Placed& p = placed[order[oi]];
      const Element& e = *p.ce->e;
      const double top = e.kind == ElementKind::kLine ? std::min(e.y, e.y2) : e.y;
      for (size_t oj = 0; oj < oi; ++oj) {
        const Placed& q = placed[order[oj]];
        if (q.growth > 0 && q.ce->e->y + q.ce->e->h <= top + kEps) p.shift = std::max(p.shift, q.shift + q.growth);
      }
      if (p.growth > 0) extra = std::max(extra, p.shift + p.growth);
      extra = std::max(extra, p.shift);
    }
    r.height = band.b->height + extra;
    for (const Placed& p : placed) {
      const Element& e = *p.ce->e;
      const double top = e.y + p.shift;
      switch (e.kind) {
        case ElementKind::kText:
        case ElementKind::kStatic:
          for (size_t i = 0; i < p.lines.size(); ++i) {
            if (p.lines[i].empty()) continue;  // blank lines take their room but draw nothing
            TextRun t;
            t.x = x0 + e.x;
            t.y = top + static_cast<double>(i) * p.lineH;
            t.w = e.w;
            t.h = p.lineH;
            t.text = p.lines[i];
            t.font = e.font;
            t.align = e.align;
            r.items.emplace_back(std::move(t));
          }
          r.height = std::max(r.height, top + p.h);
          break;
        case ElementKind::kLine:
          r.items.emplace_back(LineItem{x0 + e.x, e.y + p.shift, x0 + e.x2, e.y2 + p.shift, e.lineWidth});
          break;
        case ElementKind::kBox:
          r.items.emplace_back(RectItem{x0 + e.x, top, e.w, e.h, e.lineWidth, e.fillGray});
          r.height = std::max(r.height, top + e.h);
          break;
        case ElementKind::kImage:
          r.items.emplace_back(ImageItem{x0 + e.x, top, e.w, e.h, p.lines[0]});
          r.height = std::max(r.height, top + e.h);
          break;
      }
    }
    return r;
  }

  void put(Rendered&& r, double atY) {
    for (Item& it : r.items) {
      shiftItem(it, atY);
      page().items.push_back(std::move(it));
    }
  }

  // Where a band that does not fit in `avail` can be cut: above the first text line or image
  // that reaches below it. 0 when nothing of it fits.
  static double cutFor(const Rendered& r, double avail) {
    double cut = r.height;
    for (const Item& it : r.items) {
      if (std::holds_alternative<LineItem>(it) || std::holds_alternative<RectItem>(it)) continue;
      if (itemBottom(it) > avail + kEps) cut = std::min(cut, itemTop(it));
    }
    return std::min(cut, avail);
  }

  // Whether a text line or image would stand above `cut`. A slice of blank space, rules or frame
  // tops is no part of a row worth leaving at the foot of a page: the row's text would go overleaf
  // after its totals were counted on this page.
  static bool contentAbove(const Rendered& r, double cut) {
    for (const Item& it : r.items) {
      if (std::holds_alternative<LineItem>(it) || std::holds_alternative<RectItem>(it)) continue;
      if (itemBottom(it) <= cut + kEps) return true;
    }
    return false;
  }

  // Whether cutting at `cut` would leave something of the band on a page that already holds
  // other bands. On an empty page a band that is taller than the page is cut wherever it must.
  bool worthCutting(const Rendered& r, double cut) const {
    return cut > kEps && (pageFresh || contentAbove(r, cut));
  }

  // The room the band needs at least before it can begin on a page: down to the first text line
  // or image that can stand above a cut, or all of it.
  static double firstPiece(const Rendered& r) {
    std::vector<double> bottoms;
    for (const Item& it : r.items) {
      if (std::holds_alternative<LineItem>(it) || std::holds_alternative<RectItem>(it)) continue;
      bottoms.push_back(itemBottom(it));
    }
    std::sort(bottoms.begin(), bottoms.end());
    for (double b : bottoms) {
      if (b >= r.height - kEps) break;
      const double cut = cutFor(r, b);
      if (cut > kEps && contentAbove(r, cut)) return b;
    }
    return r.height;
  }

  // Cuts `r` at `cut`: `r` keeps what lies above, the result holds the rest moved to the top.
  static Rendered splitAt(Rendered& r, double cut) {
    Rendered rest;
    std::vector<Item> keep;
    for (Item& it : r.items) {
      const double top = itemTop(it), bottom = itemBottom(it);
      if (bottom <= cut + kEps) {
        keep.push_back(std::move(it));
      } else if (top >= cut - kEps) {
        shiftItem(it, -cut);
        rest.items.push_back(std::move(it));
      } else if (auto* b = std::get_if<RectItem>(&it)) {
        // A frame around growing text continues on the next page.
        RectItem second = *b;
        second.y = 0;
        second.h = bottom - cut;
        b->h = cut - b->y;
        keep.push_back(*b);
        rest.items.emplace_back(second);
      } else if (auto* l = std::get_if<LineItem>(&it)) {
        LineItem second = *l;
        const double k = (cut - l->y1) / (l->y2 - l->y1);
        const double xc = l->x1 + (l->x2 - l->x1) * k;
        second.x1 = xc;
        second.y1 = 0;
        second.y2 = l->y2 - cut;
        l->x2 = xc;
        l->y2 = cut;
        if (second.y1 > second.y2) std::swap(second.y1, second.y2);
        keep.push_back(*l);
        rest.items.emplace_back(second);
      } else {
        keep.push_back(std::move(it));
      }
    }
    r.items = std::move(keep);
    rest.height = r.height - cut;
    r.height = cut;
    return rest;
  }

  void placeFixed(const CBand& band, double atY, double* height) {
    Rendered r = render(band, 0);
    *height = r.height;
    put(std::move(r), atY);
  }

  void finishPage() {
    double fy = bodyBottom;
    for (const CBand& b : bands) {
      if (b.b->kind != BandKind::kPageFooter || !test(b.cond)) continue;
      double h = 0;
      placeFixed(b, fy, &h);
      fy += h;
    }
  }

  void startPage() {
    doc.pages.emplace_back();
    st->page = static_cast<int>(doc.pages.size());
    y = bodyTop;
    column = 0;
    for (const CBand& b : bands) {
      if (b.b->kind != BandKind::kPageHeader || !test(b.cond)) continue;
      double h = 0;
      placeFixed(b, y, &h);
      y += h;
    }
    if (st->page > 1) {
      for (int g = 0; g < activeGroups; ++g) {
        for (size_t bi : groups[g].headers) {
          const CBand& b = bands[bi];
          if (!b.b->repeat || !test(b.cond)) continue;
          double h = 0;
          placeFixed(b, y, &h);
          y += h;
        }
      }
    }
    pageFresh = true;
  }

  // `carried`: the break falls inside the data (a band did not fit), not before a group that
  // begins on a new page. `footerView`: the row the old page's footer shows, when not the
  // current one.
  void newPage(bool carried = true, const std::vector<Value>* footerView = nullptr) {
    st->carried = carried;
    const std::vector<Value>* view = st->view;
    if (footerView) st->view = footerView;
    finishPage();
    st->view = view;
    for (size_t i = 0; i < totals.size(); ++i) {
      if (totals[i].t->reset == TotalReset::kPage) st->totals[i] = 0;
    }
    startPage();
  }

  // Places a body band, breaking pages as needed.
  void place(Rendered r, bool keep) {
    column = 0;
    for (;;) {
      const double avail = bodyBottom - y;
      if (r.height <= avail + kEps) {
        const double h = r.height;
        put(std::move(r), y);
        y += h;
        pageFresh = false;
        return;
      }
      if (!pageFresh && keep) {
        newPage();
        continue;
      }
      const double cut = cutFor(r, avail);
      if (!worthCutting(r, cut)) {
        if (pageFresh) {  // not even one line fits on an empty page: print it anyway
          const double h = r.height;
          put(std::move(r), y);
          y += h;
          pageFresh = false;
          return;
        }
        newPage();
        continue;
      }
      Rendered rest = splitAt(r, cut);
      put(std::move(r), y);
      newPage();
      r = std::move(rest);
    }
  }

  void placeBand(const CBand& b) {
    if (!test(b.cond)) return;
    place(render(b, 0), b.b->keep);
  }

  void placeColumn(const CBand& b) {
    Rendered r = render(b, column * b.b->pitch);
    if (column == 0) {
      if (r.height > bodyBottom - y + kEps && !pageFresh) {
        newPage();
        r = render(b, 0);
      }
      rowTop = y;
      rowHeight = 0;
    }
    rowHeight = std::max(rowHeight, r.height);
    put(std::move(r), rowTop);
    y = rowTop + rowHeight;
    pageFresh = false;
    column = (column + 1) % b.b->columns;
  }

  // Makes room for the row's first detail band before its totals are counted, so that a row
  // moved to the next page is not in the previous page's carried total.
  void roomForRow(const CBand& b) {
    if (pageFresh) return;
    const double avail = bodyBottom - y;
    if (b.b->columns > 1) return;  // placeColumn decides
    Rendered r = render(b, 0);
    if (r.height <= avail + kEps) return;
    if (b.b->keep || !worthCutting(r, cutFor(r, avail))) newPage();
  }

  void accumulate() {
    for (size_t i = 0; i < totals.size(); ++i) {
      const CTotal& t = totals[i];
      if (!test(t.when)) continue;
      st->totals[i] += t.t->kind == TotalKind::kCount ? 1.0 : t.value.evaluate().number();
    }
  }

  void groupFooters(int fromLevel) {
    for (int g = static_cast<int>(groups.size()) - 1; g >= fromLevel; --g) {
      for (size_t bi : groups[g].footers) placeBand(bands[bi]);
      activeGroups = g;
    }
  }

  Status onePass(int pageCount) {
    doc = Document();
    doc.width = def->page.width;
    doc.height = def->page.height;
    st->pageCount = pageCount;
    st->lastPage = false;
    st->carried = false;
    st->totals.assign(totals.size(), 0.0);
    st->cur.assign(src->slotCount(), Value());
    st->prev = st->cur;
    st->view = &st->cur;
    activeGroups = 0;
    bodyTop = def->page.top;
    double footer = 0;
    for (const CBand& b : bands) {
      if (b.b->kind == BandKind::kPageFooter) footer += b.b->height;
    }
    bodyBottom = def->page.height - def->page.bottom - footer;
    if (auto s = src->rewind(); !s.ok()) return s;

    // The first row is read before the first page so that page and report headers can show it.
    auto first = src->next(st->cur);
    if (!first.ok()) return first.status();
    bool have = first.value();
    startPage();
    for (const CBand& b : bands) {
      if (b.b->kind == BandKind::kReportHeader) placeBand(b);
    }
    std::vector<Value> keys(groups.size()), lastKeys(groups.size());
    bool firstRow = true;
    while (have) {
      st->view = &st->cur;
      for (size_t g = 0; g < groups.size(); ++g) keys[g] = groups[g].key.evaluate();
      int level = -1;
      if (firstRow) {
        level = 0;
      } else {
        for (size_t g = 0; g < groups.size() && level < 0; ++g) {
          if (!(keys[g] == lastKeys[g])) level = static_cast<int>(g);
        }
      }
      if (level >= 0 && !firstRow) {
        st->view = &st->prev;
        groupFooters(level);
        st->view = &st->cur;
      }
      std::vector<const CBand*> details;
      for (const CBand& b : bands) {
        if (b.b->kind == BandKind::kDetail && test(b.cond)) details.push_back(&b);
      }
      if (level >= 0 && !firstRow) {
        for (int g = level; g < static_cast<int>(groups.size()) && !pageFresh; ++g) {
          if (groups[g].g->newPage) newPage(false, &st->prev);
        }
      }
      if (level >= 0 && !pageFresh) {
        // Headers stay with their first row: when both do not fit, the group starts overleaf.
        double need = 0;
        for (int g = level; g < static_cast<int>(groups.size()); ++g) {
          for (size_t bi : groups[g].headers) {
            if (test(bands[bi].cond)) need += render(bands[bi], 0).height;
          }
        }
        if (need > 0 && !details.empty()) {
          Rendered first = render(*details.front(), 0);
          need += firstPiece(first);
          if (need > bodyBottom - y + kEps) newPage(true, firstRow ? nullptr : &st->prev);
        }
      }
      if (level >= 0) {
        for (int g = level; g < static_cast<int>(groups.size()); ++g) {
          for (size_t i = 0; i < totals.size(); ++i) {
            if (totals[i].group == g) st->totals[i] = 0;
          }
          activeGroups = g;
          for (size_t bi : groups[g].headers) placeBand(bands[bi]);
          activeGroups = g + 1;
        }
      }
      if (!details.empty()) roomForRow(*details.front());
      accumulate();
      for (const CBand* b : details) {
        if (b->b->columns > 1) placeColumn(*b);
        else place(render(*b, 0), b->b->keep);
      }
      lastKeys = keys;
      firstRow = false;
      std::swap(st->prev, st->cur);
      auto n = src->next(st->cur);
      if (!n.ok()) return n.status();
      have = n.value();
    }
    st->view = &st->prev;  // the last row read (all nil without rows)
    if (!firstRow) groupFooters(0);
    for (const CBand& b : bands) {
      if (b.b->kind == BandKind::kReportSummary) placeBand(b);
    }
    st->lastPage = true;
    st->carried = false;
    finishPage();
    st->lastPage = false;
    st->view = &st->cur;
    return Status::OK();
  }
};

CompiledReport::CompiledReport(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
CompiledReport::~CompiledReport() = default;

bool CompiledReport::usesPageCount() const { return impl_->usesPageCount; }

Result<std::unique_ptr<CompiledReport>> CompiledReport::compile(const ReportDefinition& def, RowSource& source,
                                                                const VariableStore& vars,
                                                                const std::string& fileName,
                                                                const dbf::ExprSettings& settings) {
  auto impl = std::make_unique<Impl>();
  impl->def = &def;
  impl->src = &source;
  ReportResolver resolver(impl->st, source, vars, def);
  Status failed;
  auto comp = [&](const ExprText& t, Expression* out) {
    if (t.empty() || !failed.ok()) return;
    auto r = Expression::compile(t.text, resolver, settings);
    if (!r.ok()) {
      failed = Status::Syntax(fileName + ":" + std::to_string(t.line) + ": " + t.text + ": " + r.status().message());
      return;
    }
    *out = std::move(r.value());
  };
  for (const Group& g : def.groups) {
    CGroup cg;
    cg.g = &g;
    comp(g.key, &cg.key);
    impl->groups.push_back(std::move(cg));
  }
  for (const Total& t : def.totals) {
    CTotal ct;
    ct.t = &t;
    comp(t.value, &ct.value);
    comp(t.when, &ct.when);
    for (size_t g = 0; g < def.groups.size(); ++g) {
      if (t.reset == TotalReset::kGroup && def.groups[g].name == t.group) ct.group = static_cast<int>(g);
    }
    impl->totals.push_back(std::move(ct));
  }
  for (const Band& b : def.bands) {
    CBand cb;
    cb.b = &b;
    comp(b.condition, &cb.cond);
    for (const Element& e : b.elements) {
      CElement ce;
      ce.e = &e;
      comp(e.value, &ce.value);
      comp(e.condition, &ce.cond);
      cb.elements.push_back(std::move(ce));
    }
    const size_t idx = impl->bands.size();
    for (CGroup& g : impl->groups) {
      if (g.g->name != b.group) continue;
      if (b.kind == BandKind::kGroupHeader) g.headers.push_back(idx);
      if (b.kind == BandKind::kGroupFooter) g.footers.push_back(idx);
    }
    impl->bands.push_back(std::move(cb));
  }
  if (!failed.ok()) return failed;
  impl->usesPageCount = resolver.usesPageCount;
  return std::unique_ptr<CompiledReport>(new CompiledReport(std::move(impl)));
}

Result<Document> CompiledReport::run(const TextMetrics& metrics) {
  Impl& im = *impl_;
  im.metrics = &metrics;
  if (auto s = im.onePass(0); !s.ok()) return s;
  if (im.usesPageCount) {
    // The count can change the layout (a wider "von 10"); lay out until it stands still.
    for (int pass = 0; pass < 3; ++pass) {
      const int n = static_cast<int>(im.doc.pages.size());
      if (auto s = im.onePass(n); !s.ok()) return s;
      if (static_cast<int>(im.doc.pages.size()) == n) break;
    }
  }
  return std::move(im.doc);
}

Result<Document> layoutReport(std::string_view reportText, RowSource& source, VariableStore& vars,
                              const TextMetrics& metrics) {
  auto def = parseReport(reportText, "report");
  if (!def.ok()) return def.status();
  for (const Variable& v : def->variables) vars.declare(v.name, v.initial);
  auto compiled = CompiledReport::compile(def.value(), source, vars, "report");
  if (!compiled.ok()) return compiled.status();
  return compiled.value()->run(metrics);
}

}  // namespace zentor::report
