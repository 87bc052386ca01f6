#include "toolkit/multi_line_edit.h"

#include <QSignalBlocker>
#include <QTextCursor>

namespace zentor::toolkit {

MultiLineEdit::MultiLineEdit(const QString& name, QWidget* parent) : QPlainTextEdit(parent) {
  setObjectName(name);
  connect(this, &QPlainTextEdit::textChanged, this, &MultiLineEdit::enforceLimit);
}

void MultiLineEdit::setTextLimit(int limit) {
  limit_ = limit < 0 ? 0 : limit;
  enforceLimit();
}

void MultiLineEdit::setValue(const QString& value) {
  setPlainText(value);
  enforceLimit();
}

void MultiLineEdit::enforceLimit() {
  if (limit_ == 0) return;
  const QString text = toPlainText();
  if (text.size() <= limit_) return;
  // Cutting re-enters textChanged; the blocker keeps the second round from running.
  QSignalBlocker block(this);
  setPlainText(text.left(limit_));
  QTextCursor c = textCursor();
  c.movePosition(QTextCursor::End);
  setTextCursor(c);
}

}  // namespace zentor::toolkit
