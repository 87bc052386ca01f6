// Helpers for tests of Qt windows: one offscreen QApplication per test program, and an answerer
// that waits inside the event loop for the next message box and clicks one of its buttons.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <deque>
#include <ostream>
#include <vector>

class QApplication;
class QWidget;

namespace zentor::testing {

// Creates the application on first use (offscreen unless QT_QPA_PLATFORM says otherwise).
QApplication* ensureApplication();

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QWidget* parent = nullptr;
};

// While alive, answers each message box that opens with the next queued button (Ok when the
// queue is empty; NoButton presses Esc) and records what the box showed.
class MessageBoxAnswerer {
 public:
  explicit MessageBoxAnswerer(std::deque<QMessageBox::StandardButton> answers = {});
  ~MessageBoxAnswerer();
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

  const std::vector<SeenBox>& seen() const { return seen_; }

 private:
  void poll();

  std::deque<QMessageBox::StandardButton> answers_;
  std::vector<SeenBox> seen_;
  std::vector<QPointer<QMessageBox>> handled_;
  QTimer timer_;
};

}  // namespace zentor::testing

// Lets GoogleTest print QStrings readably in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
