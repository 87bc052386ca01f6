// The drawn MDI background: gradient rows, the empty area, and the name on a real paint.
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "shell/mdi_client.h"
#include "support/qt_app.h"

namespace zentor::ui {
namespace {

const QColor kBase(58, 110, 165);
const QColor kUntouched(255, 0, 255);

QImage paintedGradient(int width, int height, int imageHeight) {
  QImage image(width, imageHeight, QImage::Format_RGB32);
  image.fill(kUntouched);
  QPainter p(&image);
  GRADIENTFILL(p, QRect(0, 0, width, height), kBase);
  return image;
}

TEST(Gradient, ThreeRowsFadeToBlackWithIntegerDivision) {
  testing::ensureApplication();
  // Each channel c - c*i/3 with truncation: 58 -> 39, 20, 0; 110 -> 74, 37, 0; 165 -> 110, 55, 0.
  const QColor expected[] = {QColor(39, 74, 110), QColor(20, 37, 55), QColor(0, 0, 0)};
  const QImage image = paintedGradient(5, 3, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(image.pixelColor(x, y), expected[y]) << "x=" << x << " y=" << y;
    }
  }
}

TEST(Gradient, HeightZeroPaintsNothingAndOneRowIsBlack) {
  testing::ensureApplication();
  const QImage none = paintedGradient(4, 0, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(none.pixelColor(x, y), kUntouched);
  }
  const QImage one = paintedGradient(4, 1, 2);
  EXPECT_EQ(one.pixelColor(0, 0), QColor(0, 0, 0));
  EXPECT_EQ(one.pixelColor(0, 1), kUntouched);
}

TEST(Gradient, RowColourFormula) {
  EXPECT_EQ(gradientRowColour(QColor(255, 255, 255), 1, 256), QColor(255 - 255 / 256, 255, 255));
  EXPECT_EQ(gradientRowColour(QColor(255, 128, 7), 128, 256), QColor(128, 64, 4));
}

TEST(MdiBackground, PaintShowsGradientAndTheNameInWhite) {
  testing::ensureApplication();
  MdiClient client(kBase);
  client.resize(640, 300);
  client.show();
  const QImage image = client.viewport()->grab().toImage();
  const int h = client.viewport()->height();
  ASSERT_GT(h, 0);
  EXPECT_EQ(image.pixelColor(0, 0), gradientRowColour(kBase, 1, h));
  EXPECT_EQ(image.pixelColor(0, h - 1), QColor(0, 0, 0));
  int white = 0;
  int black = 0;
  for (int y = h / 3; y < 2 * h / 3; ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c == QColor(255, 255, 255)) ++white;
      if (c == QColor(0, 0, 0)) ++black;
    }
  }
  EXPECT_GT(white, 100);  // the name
  EXPECT_GT(black, 100);  // its shadow (the middle rows are no longer black otherwise)
}

}  // namespace
}  // namespace zentor::ui
