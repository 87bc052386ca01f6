// Painting laid-out report pages with Qt: on any painter (screen preview, printer, PDF, image),
// with text measured by Qt so that layout and painting agree.
//
// REQUIRES for everything here: a QGuiApplication (or QApplication) exists.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <QFont>
#include <QFontMetricsF>
#include <QString>

#include "dbf/status.h"
#include "report/document.h"
#include "report/textmetrics.h"

class QPainter;

namespace zentor::report {

// The installed family for a report family name: "Sans" (also Arial, Helvetica), "Serif" (Times,
// Times New Roman) and "Mono" (Courier, Courier New) go to DejaVu or, failing that, Liberation;
// an installed family is taken as it is; anything else is the sans family.
QString qtFontFamily(const std::string& family);

// The QFont of a report font, without hinting so that its widths scale with the resolution.
QFont qtFont(const Font& font);

// Text metrics from QFontMetricsF at 1200 dpi, the resolution of our PDF output.
class QtTextMetrics : public TextMetrics {
 public:
  QtTextMetrics();
  ~QtTextMetrics() override;
  double width(std::string_view text, const Font& font) const override;
  double lineHeight(const Font& font) const override;

 private:
  const QFontMetricsF& metricsFor(const Font& font) const;
  mutable std::map<std::tuple<std::string, double, bool, bool>, QFontMetricsF> cache_;
};

// Paints `page` with the page's top left corner at the painter's origin; `dpiX`/`dpiY` are the
// resolution of the painter's device (dots per inch).
void paintPage(QPainter& painter, const Page& page, double dpiX, double dpiY);

// Writes every page into one PDF of the document's page size.
dbf::Status writePdf(const Document& doc, const std::string& path, const std::string& title = {});

// Writes page n (1-based) to "<stem>-<n>.png" at `dpi`; gives the file names in page order.
dbf::Result<std::vector<std::string>> writePngPages(const Document& doc, const std::string& stem, int dpi = 150);

}  // namespace zentor::report
