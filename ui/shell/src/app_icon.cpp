#include "shell/app_icon.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

#include "shell/mdi_client.h"

namespace zentor::ui {

namespace {

QPixmap drawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 0, size);
  fill.setColorAt(0, kClassicDesktopColour);
  fill.setColorAt(1, Qt::black);
  p.setBrush(fill);
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
  QFont font(QStringLiteral("DejaVu Serif"));
  font.setStyleHint(QFont::Serif);
  font.setBold(true);
  font.setItalic(true);
  font.setPixelSize(size * 3 / 4);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("Z"));
  return pixmap;
}

}  // namespace

APPICON::APPICON() {
  for (int size : {16, 32, 48}) addPixmap(drawIcon(size));
}

}  // namespace zentor::ui
