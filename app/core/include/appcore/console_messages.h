// The message service of the command-line tools: messages go to the error stream as one line
// each, questions are answered from a preset answer, from the terminal, or - when there is neither -
// with No, so a tool run from a script never waits and never agrees to something by default.
#pragma once

#include <iosfwd>
#include <optional>

#include "appcore/messages.h"

namespace zentor::app {

class ConsoleMessageService : public MessageService {
 public:
  // The process's stderr and stdin; stdin counts as a terminal when it is one.
  ConsoleMessageService();
  // `out` receives the messages and prompts; answers are read from `in` only when `interactive`.
  ConsoleMessageService(std::ostream& out, std::istream& in, bool interactive);

  // Every following question is answered with `answer` without reading anything (a tool's
  // "--yes"/"--no"); nullopt goes back to asking.
  void setPresetAnswer(std::optional<bool> answer) { preset_ = answer; }

  // "Fehler (title): text" for errors, "Hinweis (title): text" for information; without a title
  // the parenthesis is left out.
  void show(const Message& m) override;
  // Prints "Frage (title): text [j/n] " and reads a line: "j", "ja", "y", "yes" are Yes; "n",
  // "nein", "no" or an empty line are No; anything else asks again. End of input is No. The answer
  // taken from a preset or given for lack of a terminal is printed after the prompt.
  bool ask(const Message& m) override;

 private:
  std::ostream* out_;
  std::istream* in_;
  bool interactive_;
  std::optional<bool> preset_;
};

}  // namespace zentor::app
