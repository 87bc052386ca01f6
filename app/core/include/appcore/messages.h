// The message service: every message box of the program goes through one of these, so that
// business code never talks to a window system and tests can assert the exact texts.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace zentor::app {

enum class MessageKind { kError, kInformation, kQuestion };
enum class MessageIcon { kNone, kError, kInformation, kQuestion, kWarning };

struct Message {
  MessageKind kind = MessageKind::kError;
  std::string title;
  std::string text;
  MessageIcon icon = MessageIcon::kError;
  // The window that owns the box, or nullptr for a box without owner. Opaque here: the Qt
  // implementation casts it back to a QWidget*.
  void* owner = nullptr;
};

class MessageService {
 public:
  virtual ~MessageService() = default;
  // Error and information boxes: shown, then acknowledged by the user.
  virtual void show(const Message& m) = 0;
  // A Yes/No question; true for Yes.
  virtual bool ask(const Message& m) = 0;

  // Shorthands with the program's conventions (error icon; information icon; question icon).
  void error(const std::string& text, const std::string& title = {}, void* owner = nullptr) {
    show({MessageKind::kError, title, text, MessageIcon::kError, owner});
  }
  void information(const std::string& text, const std::string& title = {}, void* owner = nullptr) {
    show({MessageKind::kInformation, title, text, MessageIcon::kInformation, owner});
  }
  bool question(const std::string& text, const std::string& title = {}, void* owner = nullptr) {
    return ask({MessageKind::kQuestion, title, text, MessageIcon::kQuestion, owner});
  }
};

// Records every message; questions are answered from a queue (No when it is empty).
class RecordingMessageService : public MessageService {
 public:
  void show(const Message& m) override { messages.push_back(m); }
  bool ask(const Message& m) override {
    messages.push_back(m);
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  // Texts of all recorded messages, in order.
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m.text);
    return out;
  }
  void clear() { messages.clear(); }

  std::vector<Message> messages;
  std::deque<bool> answers;
};

}  // namespace zentor::app
