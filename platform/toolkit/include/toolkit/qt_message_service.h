// The message service on QMessageBox: error and information boxes with an OK button, questions
// with Yes and No (Yes is the default, Esc answers No). A message's owner is a QWidget* or
// nullptr for a box without owner; each box is modal and returns when the user has answered.
#pragma once

#include "appcore/messages.h"

namespace zentor::toolkit {

class QtMessageService : public app::MessageService {
 public:
  void show(const app::Message& m) override;
  bool ask(const app::Message& m) override;
};

}  // namespace zentor::toolkit
