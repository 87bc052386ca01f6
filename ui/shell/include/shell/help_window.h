// The program's own HTML help in a window of its own (used where no "ZENTOR.CHM" viewer is at
// hand). When the start page is missing the window says so instead of staying blank.
#pragma once

#include <QWidget>
#include <filesystem>

class QTextBrowser;

namespace zentor::ui {

class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  // A top-level window owned by `owner` that deletes itself when closed.
  HelpWindow(const std::filesystem::path& startPage, QWidget* owner);

  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

}  // namespace zentor::ui
