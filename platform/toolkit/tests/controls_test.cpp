// Drop-down list, radio group, check box, busy cursor and the event pump.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include "support/qt_app.h"
#include "toolkit/busy_cursor.h"
#include "toolkit/check_box.h"
#include "toolkit/drop_down_list.h"
#include "toolkit/event_pump.h"
#include "toolkit/radio_group.h"

namespace zentor::toolkit {
namespace {

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureApplication(); }
};

TEST_F(ControlsTest, DropDownListHandsOutTheValueOfTheChosenLine) {
  DropDownList list(QStringLiteral("TYP"));
  list.setEntries({{QStringLiteral("Rechnung"), QStringLiteral("R")},
                   {QStringLiteral("Gutschrift"), QStringLiteral("G")},
                   {QStringLiteral("Angebot"), QStringLiteral("A")}});
  EXPECT_EQ(list.objectName(), QStringLiteral("TYP"));
  EXPECT_FALSE(list.isEditable());
  EXPECT_EQ(list.value().toString(), QStringLiteral("R"));  // first line selected
  QTest::keyClick(&list, Qt::Key_Down);
  EXPECT_EQ(list.value().toString(), QStringLiteral("G"));
  EXPECT_TRUE(list.setValue(QStringLiteral("A")));
  EXPECT_EQ(list.currentText(), QStringLiteral("Angebot"));
  EXPECT_FALSE(list.setValue(QStringLiteral("X")));
  EXPECT_FALSE(list.value().isValid());

  DropDownList empty(QStringLiteral("LEER"));
  empty.setEntries({});
  EXPECT_FALSE(empty.value().isValid());
}

TEST_F(ControlsTest, RadioGroupValueByClickAndBySetting) {
  RadioGroup group(QStringLiteral("BRUTTO"), QStringLiteral("Preise"));
  QRadioButton* netto = group.addButton(QStringLiteral("RDBNETTO"), QStringLiteral("Netto"), QStringLiteral("N"));
  QRadioButton* brutto = group.addButton(QStringLiteral("RDBBRUTTO"), QStringLiteral("Brutto"), QStringLiteral("B"));
  group.show();
  EXPECT_EQ(group.findChild<QRadioButton*>(QStringLiteral("RDBBRUTTO")), brutto);
  EXPECT_FALSE(group.value().isValid());

  QVariant reported;
  QObject::connect(&group, &RadioGroup::valueChanged, [&](const QVariant& v) { reported = v; });
  QTest::mouseClick(brutto, Qt::LeftButton);
  EXPECT_EQ(group.value().toString(), QStringLiteral("B"));
  EXPECT_EQ(reported.toString(), QStringLiteral("B"));

  EXPECT_TRUE(group.setValue(QStringLiteral("N")));
  EXPECT_TRUE(netto->isChecked());
  EXPECT_FALSE(brutto->isChecked());
  EXPECT_FALSE(group.setValue(QStringLiteral("?")));
  EXPECT_FALSE(netto->isChecked());
  EXPECT_FALSE(group.value().isValid());
}

TEST_F(ControlsTest, CheckBoxCarriesALogical) {
  CheckBox box(QStringLiteral("AKTIV"), QStringLiteral("Verwendbar (Aktiv)?"));
  box.show();
  EXPECT_EQ(box.objectName(), QStringLiteral("AKTIV"));
  EXPECT_FALSE(box.value());
  QTest::mouseClick(&box, Qt::LeftButton);
  EXPECT_TRUE(box.value());
  box.setValue(false);
  EXPECT_FALSE(box.isChecked());
}

TEST_F(ControlsTest, BusyCursorGuardsNestAndRestore) {
  ASSERT_EQ(QApplication::overrideCursor(), nullptr);
  {
    BusyCursor outer;
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    { BusyCursor inner; }
    ASSERT_NE(QApplication::overrideCursor(), nullptr);  // the inner guard left the outer one
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ControlsTest, EventPumpRunsPendingEventsAndReturns) {
  int ran = 0;
  QMetaObject::invokeMethod(qApp, [&] { ++ran; }, Qt::QueuedConnection);
  EventPump pump = qtEventPump();
  pump();
  EXPECT_EQ(ran, 1);
  pump();  // nothing pending: returns at once
  EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace zentor::toolkit
