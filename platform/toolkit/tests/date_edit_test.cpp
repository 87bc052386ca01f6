// German date edit: the two-digit year window, the empty date, typing through key events.
#include "toolkit/date_edit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTest>
#include <gtest/gtest.h>

#include "support/qt_app.h"

namespace zentor::toolkit {
namespace {

class DateEditTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureApplication(); }
};

void loseFocus(QWidget* w) {
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(w, &out);
}

TEST(ParseGermanDate, CenturyWindowAndImpossibleDates) {
  struct Case {
    const char* text;
    QDate expected;  // null: not a date
  } const cases[] = {
      {"31.12.2025", QDate(2025, 12, 31)},
      {"1.2.25", QDate(2025, 2, 1)},
      {"01.01.29", QDate(2029, 1, 1)},  // last year of the window
      {"01.01.30", QDate(1930, 1, 1)},  // first year of the window
      {"01.01.00", QDate(2000, 1, 1)},
      {"31.12.99", QDate(1999, 12, 31)},
      {"29.02.2024", QDate(2024, 2, 29)},
      {"29.02.2023", QDate()},
      {"31.02.25", QDate()},
      {"32.01.2025", QDate()},
      {"1.1.123", QDate()},  // three-digit years are not read
      {"01.13.2025", QDate()},
      {"", QDate()},
      {"  .  .    ", QDate()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto d = parseGermanDate(QString::fromLatin1(c.text));
    EXPECT_EQ(d.value_or(QDate()), c.expected);
  }
}

TEST_F(DateEditTest, TypedDatesAreShownInFullOnLeaving) {
  struct Case {
    const char* typed;
    const char* whileTyping;
    const char* afterLeaving;
    QDate date;
  } const cases[] = {
      {"311229", "31.12.29", "31.12.2029", QDate(2029, 12, 31)},
      {"1.2.30", "1.2.30", "01.02.1930", QDate(1930, 2, 1)},
      {"3a1x12x2025", "31.12.2025", "31.12.2025", QDate(2025, 12, 31)},  // letters refused
      {"31.02.25", "31.02.25", "31.02.25", QDate()},  // impossible: kept for correcting
      {"", "", "", QDate()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    DateEdit edit(QStringLiteral("DATUM"));
    QTest::keyClicks(&edit, QString::fromLatin1(c.typed));
    EXPECT_EQ(edit.text().toStdString(), c.whileTyping);
    loseFocus(&edit);
    EXPECT_EQ(edit.text().toStdString(), c.afterLeaving);
    EXPECT_EQ(edit.date(), c.date);
  }
}

TEST_F(DateEditTest, EmptyDateIsValidInputButNotADate) {
  DateEdit edit(QStringLiteral("ANLDAT"));
  EXPECT_EQ(edit.objectName(), QStringLiteral("ANLDAT"));
  EXPECT_TRUE(edit.isEmptyDate());
  EXPECT_TRUE(edit.hasValidInput());
  EXPECT_FALSE(edit.date().isValid());

  edit.setDate(QDate(2026, 3, 5));
  EXPECT_EQ(edit.text(), QStringLiteral("05.03.2026"));
  EXPECT_EQ(edit.dateValue(), dbf::Date::fromYmd(2026, 3, 5));
  edit.setDate(QDate());
  EXPECT_EQ(edit.text(), QString());
  EXPECT_TRUE(edit.dateValue().empty());
  edit.setDateValue(dbf::Date::fromYmd(1999, 12, 31));
  EXPECT_EQ(edit.text(), QStringLiteral("31.12.1999"));

  edit.clear();
  QTest::keyClicks(&edit, QStringLiteral("31.04.26"));
  EXPECT_FALSE(edit.isEmptyDate());
  EXPECT_FALSE(edit.hasValidInput());
}

TEST_F(DateEditTest, TooLongInputIsRefused) {
  DateEdit edit(QStringLiteral("DATUM"));
  QTest::keyClicks(&edit, QStringLiteral("01.01.202599"));
  EXPECT_EQ(edit.text(), QStringLiteral("01.01.2025"));
}

}  // namespace
}  // namespace zentor::toolkit
