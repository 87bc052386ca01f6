#include "shell/mdi_client.h"

#include <QFont>
#include <QPainter>
#include <QResizeEvent>
#include <QStringList>

namespace zentor::ui {

QColor gradientRowColour(const QColor& base, int i, int steps) {
  const auto fade = [&](int c) { return c - c * i / steps; };
  return QColor(fade(base.red()), fade(base.green()), fade(base.blue()));
}

void GRADIENTFILL(QPainter& painter, const QRect& area, const QColor& base) {
  const int steps = area.height();
  for (int i = 1; i <= steps; ++i) {
    painter.fillRect(QRect(area.left(), area.top() + i - 1, area.width(), 1),
                     gradientRowColour(base, i, steps));
  }
}

void PEDRAWTEXT(QPainter& painter, const QRect& area, int logicalDpiY) {
  QFont font;
  font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                    QStringLiteral("Nimbus Roman"), QStringLiteral("DejaVu Serif")});
  font.setStyleHint(QFont::Serif);
  font.setWeight(QFont::Bold);
  font.setItalic(true);
  font.setUnderline(false);
  font.setPixelSize(qMax(1, logicalDpiY * 60 / 72));

  const QString name = QStringLiteral("Lumo-Zentor");
  const int flags = Qt::AlignCenter | Qt::TextSingleLine;
  painter.save();
  painter.setFont(font);
  painter.setPen(QColor(0, 0, 0));
  painter.drawText(area.translated(6, 6), flags, name);
  painter.setPen(QColor(255, 255, 255));
  painter.drawText(area, flags, name);
  painter.restore();
}

MdiClient::MdiClient(const QColor& base, QWidget* parent) : QMdiArea(parent), base_(base) {
  setObjectName(QStringLiteral("MDICLIENT"));
}

void MdiClient::setBaseColour(const QColor& base) {
  base_ = base;
  viewport()->update();
}

void MdiClient::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QRect area = viewport()->rect();
  GRADIENTFILL(painter, area, base_);
  PEDRAWTEXT(painter, area, viewport()->logicalDpiY());
}

void MdiClient::resizeEvent(QResizeEvent* event) {
  QMdiArea::resizeEvent(event);
  viewport()->update();
}

}  // namespace zentor::ui
