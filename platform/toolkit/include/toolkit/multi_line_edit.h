// A multi-line edit with a text limit, the counterpart of SingleLineEdit for long text fields.
#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace zentor::toolkit {

class MultiLineEdit : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit MultiLineEdit(const QString& name, QWidget* parent = nullptr);
  // The most characters the text may hold; 0 means no limit. Longer input is cut at the limit.
  void setTextLimit(int limit);
  int textLimit() const { return limit_; }
  QString value() const { return toPlainText(); }
  void setValue(const QString& value);

 private:
  void enforceLimit();
  int limit_ = 0;
};

}  // namespace zentor::toolkit
