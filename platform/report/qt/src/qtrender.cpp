#include "report/qtrender.h"

#include <QFontDatabase>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace zentor::report {
namespace {

constexpr double kMetricsDpi = 1200.0;

QString firstInstalled(std::initializer_list<const char*> names) {
  const QStringList installed = QFontDatabase::families();
  for (const char* n : names) {
    if (installed.contains(QString::fromLatin1(n), Qt::CaseInsensitive)) return QString::fromLatin1(n);
  }
  return {};
}

QString sansFamily() {
  static const QString f = [] {
    QString s = firstInstalled({"DejaVu Sans", "Liberation Sans"});
    return s.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont).family() : s;
  }();
  return f;
}

QString serifFamily() {
  static const QString f = [] {
    QString s = firstInstalled({"DejaVu Serif", "Liberation Serif"});
    return s.isEmpty() ? sansFamily() : s;
  }();
  return f;
}

QString monoFamily() {
  static const QString f = [] {
    QString s = firstInstalled({"DejaVu Sans Mono", "Liberation Mono"});
    return s.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::FixedFont).family() : s;
  }();
  return f;
}

// A 1x1 image that only lends its resolution to font metrics.
const QImage& metricsDevice() {
  static const QImage img = [] {
    QImage i(1, 1, QImage::Format_RGB32);
    const int dpm = static_cast<int>(kMetricsDpi / 0.0254 + 0.5);
    i.setDotsPerMeterX(dpm);
    i.setDotsPerMeterY(dpm);
    return i;
  }();
  return img;
}

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

QString qtFontFamily(const std::string& family) {
  const QString f = qs(family).trimmed();
  const QString l = f.toLower();
  if (l.isEmpty() || l == "sans" || l == "arial" || l == "helvetica" || l == "swiss") return sansFamily();
  if (l == "serif" || l == "times" || l == "times new roman" || l == "roman") return serifFamily();
  if (l == "mono" || l == "courier" || l == "courier new" || l == "modern") return monoFamily();
  if (QFontDatabase::families().contains(f, Qt::CaseInsensitive)) return f;
  return sansFamily();
}

QFont qtFont(const Font& font) {
  QFont f(qtFontFamily(font.family));
  f.setPointSizeF(font.size);
  f.setBold(font.bold);
  f.setItalic(font.italic);
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setKerning(true);
  return f;
}

QtTextMetrics::QtTextMetrics() = default;
QtTextMetrics::~QtTextMetrics() = default;

const QFontMetricsF& QtTextMetrics::metricsFor(const Font& font) const {
  auto key = std::make_tuple(font.family, font.size, font.bold, font.italic);
  auto it = cache_.find(key);
  if (it == cache_.end()) {
    it = cache_.try_emplace(key, qtFont(font), &metricsDevice()).first;
  }
  return it->second;
}

double QtTextMetrics::width(std::string_view text, const Font& font) const {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return metricsFor(font).horizontalAdvance(s) * 25.4 / kMetricsDpi;
}

double QtTextMetrics::lineHeight(const Font& font) const { return metricsFor(font).lineSpacing() * 25.4 / kMetricsDpi; }

void paintPage(QPainter& painter, const Page& page, double dpiX, double dpiY) {
  const double sx = dpiX / 25.4, sy = dpiY / 25.4;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  for (const Item& item : page.items) {
    if (const auto* t = std::get_if<TextRun>(&item)) {
      // The device's own resolution turns points into its pixels, so the font keeps its size.
      painter.setFont(qtFont(t->font));
      painter.setPen(Qt::black);
      const QRectF box(t->x * sx, t->y * sy, t->w * sx, t->h * sy);
      Qt::Alignment a = Qt::AlignTop;
      a |= t->align == Align::kRight ? Qt::AlignRight : t->align == Align::kCenter ? Qt::AlignHCenter : Qt::AlignLeft;
      painter.drawText(box, static_cast<int>(a) | Qt::TextSingleLine | Qt::TextDontClip, qs(t->text));
    } else if (const auto* l = std::get_if<LineItem>(&item)) {
      QPen pen(Qt::black);
      pen.setWidthF(std::max(0.0, l->width) * sx);
      pen.setCapStyle(Qt::FlatCap);
      painter.setPen(pen);
      painter.drawLine(QPointF(l->x1 * sx, l->y1 * sy), QPointF(l->x2 * sx, l->y2 * sy));
    } else if (const auto* r = std::get_if<RectItem>(&item)) {
      const QRectF box(r->x * sx, r->y * sy, r->w * sx, r->h * sy);
      if (r->fillGray >= 0) painter.fillRect(box, QColor(r->fillGray, r->fillGray, r->fillGray));
      if (r->width > 0) {
        QPen pen(Qt::black);
        pen.setWidthF(r->width * sx);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box);
      }
    } else if (const auto* i = std::get_if<ImageItem>(&item)) {
      QImage img(qs(i->path));
      if (img.isNull()) continue;  // not an image after all: leave the space empty
      const QRectF box(i->x * sx, i->y * sy, i->w * sx, i->h * sy);
      QSizeF size = QSizeF(img.size()).scaled(box.size(), Qt::KeepAspectRatio);
      painter.drawImage(QRectF(box.topLeft(), size), img);
    }
  }
  painter.restore();
}

dbf::Status writePdf(const Document& doc, const std::string& path, const std::string& title) {
  QPdfWriter writer(qs(path));
  writer.setResolution(static_cast<int>(kMetricsDpi));
  writer.setPageSize(QPageSize(QSizeF(doc.width, doc.height), QPageSize::Millimeter));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setTitle(qs(title));
  writer.setCreator(QStringLiteral("zentor"));
  QPainter painter;
  if (!painter.begin(&writer)) return dbf::Status::IoError("PDF " + path + " cannot be written");
  const double dpi = writer.resolution();
  for (size_t i = 0; i < doc.pages.size(); ++i) {
    if (i > 0 && !writer.newPage()) return dbf::Status::IoError("PDF " + path + ": no new page");
    paintPage(painter, doc.pages[i], dpi, dpi);
  }
  if (!painter.end()) return dbf::Status::IoError("PDF " + path + " cannot be finished");
  return dbf::Status::OK();
}

dbf::Result<std::vector<std::string>> writePngPages(const Document& doc, const std::string& stem, int dpi) {
  if (dpi < 10 || dpi > 2400) return dbf::Status::InvalidArgument("resolution out of range");
  std::vector<std::string> files;
  const int w = static_cast<int>(doc.width / 25.4 * dpi + 0.5);
  const int h = static_cast<int>(doc.height / 25.4 * dpi + 0.5);
  for (size_t i = 0; i < doc.pages.size(); ++i) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    const int dpm = static_cast<int>(dpi / 0.0254 + 0.5);
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    {
      QPainter painter(&img);
      paintPage(painter, doc.pages[i], dpi, dpi);
    }
    const std::string file = stem + "-" + std::to_string(i + 1) + ".png";
    if (!img.save(qs(file), "PNG")) return dbf::Status::IoError("image " + file + " cannot be written");
    files.push_back(file);
  }
  return files;
}

}  // namespace zentor::report
