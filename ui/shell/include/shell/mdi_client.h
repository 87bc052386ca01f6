// The shell's MDI area with its drawn background: a vertical gradient from the base colour
// down to black, and the product name in white with a black shadow, centred. Both are
// recomputed on every paint, and a resize repaints the whole area, since every row's colour
// depends on the height.
#pragma once

#include <QColor>
#include <QMdiArea>
#include <QRect>

class QPainter;

namespace zentor::ui {

// Linux has no desktop background colour to ask for; this is the classic Windows one.
inline const QColor kClassicDesktopColour{58, 110, 165};

// Colour of row i (1-based) of `steps` rows: each channel minus channel * i / steps, with integer
// division. REQUIRES: 1 <= i <= steps.
QColor gradientRowColour(const QColor& base, int i, int steps);

// `GRADIENTFILL`: fills `area` row by row with gradientRowColour; an empty area paints nothing.
void GRADIENTFILL(QPainter& painter, const QRect& area, const QColor& base);

// `PEDRAWTEXT`: "Lumo-Zentor" in a 60-point bold italic Times New Roman (or the nearest serif)
// at `logicalDpiY`, black shifted by +6/+6, then white, both centred in `area`. The painter's
// font is left as it was.
void PEDRAWTEXT(QPainter& painter, const QRect& area, int logicalDpiY);

class MdiClient : public QMdiArea {
  Q_OBJECT
 public:
  explicit MdiClient(const QColor& base = kClassicDesktopColour, QWidget* parent = nullptr);

  QColor baseColour() const { return base_; }
  void setBaseColour(const QColor& base);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QColor base_;
};

}  // namespace zentor::ui
