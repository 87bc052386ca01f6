// Typing into picture edits through real key events.
#include "toolkit/single_line_edit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTest>
#include <gtest/gtest.h>

#include "support/qt_app.h"

namespace zentor::toolkit {
namespace {

using Kind = SingleLineEdit::Kind;

class SingleLineEditTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureApplication(); }
};

void loseFocus(QWidget* w) {
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(w, &out);
}

struct TypingCase {
  const char* picture;
  Kind kind;
  int limit;
  const char* typed;
  const char* shown;  // text right after typing
};

TEST_F(SingleLineEditTest, TypedTextIsLaidOutOnThePicture) {
  const TypingCase cases[] = {
      {"99999", Kind::kText, 5, "12a345", "12345"},        // letter refused on a digit position
      {"99999", Kind::kText, 5, "1234567", "12345"},       // full
      {"!!!", Kind::kText, 3, "dEu", "DEU"},               // upper-cased
      {"!!!!!", Kind::kText, 3, "abcde", "ABC"},           // the limit is below the template
      {"99/9/999", Kind::kText, 6, "14230", "14/2/30"},    // fixed characters step by themselves
      {"99/9/999", Kind::kText, 6, "14/2/30", "14/2/30"},  // or are typed over
      {"99/9/999", Kind::kText, 6, "7/2/30", "7/2/30"},    // a short group closed early
      {"99/9/999", Kind::kText, 6, "142030x", "14/2/030"},
      {"", Kind::kText, 4, "abcdef", "abcd"},              // plain limit
      {"@!", Kind::kText, 0, "abc", "ABC"},
      {"99", Kind::kNumber, 2, "1234", "12"},
      {"99", Kind::kNumber, 2, "1,5", "15"},               // no decimals: comma refused
      {"9999", Kind::kNumber, 4, "12-3", "123"},           // minus only in front
      {"99999.9", Kind::kNumber, 7, "12,5", "12,5"},
      {"99999.9", Kind::kNumber, 7, "12.55", "12,5"},      // "." typed as ",", one decimal only
      {"99999.9", Kind::kNumber, 7, "1234567", "12345"},   // integer positions full
      {"999999.99", Kind::kNumber, 9, "-3,25", "-3,25"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.picture) + " <- " + c.typed);
    SingleLineEdit edit(QStringLiteral("FELD"), c.kind);
    edit.setTextLimit(c.limit);
    edit.setPicture(QString::fromLatin1(c.picture));
    if (c.kind == Kind::kNumber) edit.clear();
    QTest::keyClicks(&edit, QString::fromLatin1(c.typed));
    EXPECT_EQ(edit.text().toStdString(), c.shown);
  }
}

TEST_F(SingleLineEditTest, BackspaceAndDeleteAroundFixedCharacters) {
  SingleLineEdit edit(QStringLiteral("Ziel"));
  edit.setTextLimit(6);
  edit.setPicture(QStringLiteral("99/9/999"));
  QTest::keyClicks(&edit, QStringLiteral("14230"));
  ASSERT_EQ(edit.text(), QStringLiteral("14/2/30"));
  // Backspace must get past a fixed character instead of having it put back.
  for (int i = 0; i < 3; ++i) QTest::keyClick(&edit, Qt::Key_Backspace);
  EXPECT_EQ(edit.text(), QStringLiteral("14/2"));

  edit.setValue(QStringLiteral("14/2/30"));
  edit.setCursorPosition(1);
  QTest::keyClick(&edit, Qt::Key_Delete);  // the rest of the group moves up
  EXPECT_EQ(edit.text(), QStringLiteral("1/2/30"));
}

TEST_F(SingleLineEditTest, NumericEditShowsThePictureFormatOnLeavingIt) {
  struct Case {
    const char* picture;
    const char* typed;
    const char* shown;
    double value;
  } const cases[] = {
      {"99999.9", "12", "12,0", 12.0},
      {"999999.99", "3,5", "3,50", 3.5},
      {"@Z 9999", "0", "", 0.0},     // zero shown blank
      {"@Z 99", "", "", 0.0},
      {"9999", "", "0", 0.0},        // without "@Z" zero is shown
      {"99999.9", "-", "0,0", 0.0},  // an unfinished number reads as zero
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.picture) + " <- " + c.typed);
    SingleLineEdit edit(QStringLiteral("MENGE"), Kind::kNumber);
    edit.setPicture(QString::fromLatin1(c.picture));
    edit.clear();
    QTest::keyClicks(&edit, QString::fromLatin1(c.typed));
    loseFocus(&edit);
    EXPECT_EQ(edit.text().toStdString(), c.shown);
    EXPECT_DOUBLE_EQ(edit.number(), c.value);
  }
}

TEST_F(SingleLineEditTest, NumericValueRoundTripAndAlignment) {
  SingleLineEdit edit(QStringLiteral("VKP"), Kind::kNumber);
  edit.setTextLimit(9);
  edit.setPicture(QStringLiteral("999999.99"));
  EXPECT_EQ(edit.objectName(), QStringLiteral("VKP"));
  EXPECT_TRUE(edit.alignment() & Qt::AlignRight);
  edit.setNumber(1234.5);
  EXPECT_EQ(edit.text(), QStringLiteral("1234,50"));
  EXPECT_DOUBLE_EQ(edit.number(), 1234.5);
  edit.setNumber(2.675);  // rounded like every other number of the program
  EXPECT_EQ(edit.text(), QStringLiteral("2,68"));
  edit.setNumber(-0.001);
  EXPECT_EQ(edit.text(), QStringLiteral("0,00"));  // no "-0,00"
  // A stored value wider than the picture is shown whole, never cut.
  edit.setNumber(12345678.0);
  EXPECT_DOUBLE_EQ(edit.number(), 12345678.0);
}

TEST_F(SingleLineEditTest, StoredTextValueKeepsItsContent) {
  SingleLineEdit edit(QStringLiteral("PLZ"));
  edit.setTextLimit(5);
  edit.setPicture(QStringLiteral("99999"));
  edit.setValue(QStringLiteral("12345"));
  EXPECT_EQ(edit.value(), QStringLiteral("12345"));
  edit.setValue(QStringLiteral("123  "));  // padding of a stored field
  EXPECT_EQ(edit.value(), QStringLiteral("123"));
  SingleLineEdit land(QStringLiteral("LAND"));
  land.setPicture(QStringLiteral("!!!"));
  land.setValue(QStringLiteral("deu"));
  EXPECT_EQ(land.value(), QStringLiteral("DEU"));
}

}  // namespace
}  // namespace zentor::toolkit
