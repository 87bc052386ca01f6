#include "appcore/console_messages.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zentor::app {
namespace {

TEST(ConsoleMessages, ShowsErrorsAndInformationAsOneLine) {
  std::ostringstream out;
  std::istringstream in;
  ConsoleMessageService m(out, in, false);
  m.error("Datenfiles im Programmverzeichnis", "ZENTOR");
  m.information("Fertig");
  EXPECT_EQ(out.str(), "Fehler (ZENTOR): Datenfiles im Programmverzeichnis\nHinweis: Fertig\n");
}

struct AnswerCase {
  const char* input;
  bool expected;
  const char* output;  // after the prompt
};

class ConsoleAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(ConsoleAnswerTest, ReadsTheTerminal) {
  std::ostringstream out;
  std::istringstream in(GetParam().input);
  ConsoleMessageService m(out, in, true);
  EXPECT_EQ(m.question("Weiter?", "Lumo-Zentor: Test"), GetParam().expected) << GetParam().input;
  EXPECT_EQ(out.str(), std::string("Frage (Lumo-Zentor: Test): Weiter? [j/n] ") + GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConsoleAnswerTest,
                         ::testing::Values(AnswerCase{"j\n", true, ""}, AnswerCase{" JA \n", true, ""},
                                           AnswerCase{"yes\n", true, ""}, AnswerCase{"n\n", false, ""},
                                           AnswerCase{"\n", false, ""},  // Enter alone is No
                                           AnswerCase{"vielleicht\nj\n", true, "Bitte j oder n eingeben: "},
                                           AnswerCase{"", false, "\n"}));  // end of input

TEST(ConsoleMessages, WithoutTerminalOrPresetTheAnswerIsNo) {
  std::ostringstream out;
  std::istringstream in("j\n");  // must not be read
  ConsoleMessageService m(out, in, false);
  EXPECT_FALSE(m.question("Daten löschen?"));
  EXPECT_EQ(out.str(), "Frage: Daten löschen? [j/n] n (keine Eingabe möglich)\n");
}

TEST(ConsoleMessages, PresetAnswersWithoutReading) {
  std::ostringstream out;
  std::istringstream in("n\n");
  ConsoleMessageService m(out, in, true);
  m.setPresetAnswer(true);
  EXPECT_TRUE(m.question("A?"));
  m.setPresetAnswer(false);
  EXPECT_FALSE(m.question("B?"));
  m.setPresetAnswer(std::nullopt);
  EXPECT_FALSE(m.question("C?"));  // reads the "n"
  EXPECT_EQ(out.str(), "Frage: A? [j/n] j\nFrage: B? [j/n] n\nFrage: C? [j/n] ");
}

}  // namespace
}  // namespace zentor::app
