// The message service shows real QMessageBoxes; an answerer in the event loop clicks them.
#include "toolkit/qt_message_service.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include "support/qt_app.h"

namespace zentor::toolkit {
namespace {

class QtMessageServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureApplication(); }
  QtMessageService service;
};

TEST_F(QtMessageServiceTest, ErrorBoxWithoutOwner) {
  testing::MessageBoxAnswerer answerer;
  service.error("Datensatz derzeit gesperrt", "Datensatz bearbeiten");
  ASSERT_EQ(answerer.seen().size(), 1u);
  const auto& box = answerer.seen()[0];
  EXPECT_EQ(box.title, QStringLiteral("Datensatz bearbeiten"));
  EXPECT_EQ(box.text, QStringLiteral("Datensatz derzeit gesperrt"));
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(box.parent, nullptr);
}

TEST_F(QtMessageServiceTest, InformationBoxKeepsUmlauts) {
  testing::MessageBoxAnswerer answerer;
  service.information("Übertragung beendet", "Fibuüberleitung");
  ASSERT_EQ(answerer.seen().size(), 1u);
  EXPECT_EQ(answerer.seen()[0].text, QString::fromUtf8("Übertragung beendet"));
  EXPECT_EQ(answerer.seen()[0].title, QString::fromUtf8("Fibuüberleitung"));
  EXPECT_EQ(answerer.seen()[0].icon, QMessageBox::Information);
}

TEST_F(QtMessageServiceTest, QuestionWithOwnerAnsweredYesAndNo) {
  QWidget owner;
  owner.show();
  testing::MessageBoxAnswerer answerer({QMessageBox::No, QMessageBox::Yes});
  EXPECT_FALSE(service.question("Soll der Datensatz gelöscht werden?", "Kunden", &owner));
  EXPECT_TRUE(service.question("Soll der Datensatz gelöscht werden?", "Kunden", &owner));
  ASSERT_EQ(answerer.seen().size(), 2u);
  for (const auto& box : answerer.seen()) {
    EXPECT_EQ(box.icon, QMessageBox::Question);
    EXPECT_EQ(box.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.parent, &owner);
    EXPECT_EQ(box.text, QString::fromUtf8("Soll der Datensatz gelöscht werden?"));
  }
}

TEST_F(QtMessageServiceTest, EscapeAnswersNo) {
  testing::MessageBoxAnswerer answerer({QMessageBox::NoButton});
  EXPECT_FALSE(service.question("Soll das Programm wirklich beendet werden?", "Programmende"));
  EXPECT_EQ(answerer.seen().size(), 1u);
}

}  // namespace
}  // namespace zentor::toolkit
