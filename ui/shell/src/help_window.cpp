#include "shell/help_window.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/app_icon.h"

namespace zentor::ui {

HelpWindow::HelpWindow(const std::filesystem::path& startPage, QWidget* owner)
    : QWidget(owner, Qt::Window), browser_(new QTextBrowser(this)) {
  setObjectName(QStringLiteral("HELPWINDOW"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Lumo-Zentor: Hilfe"));
  setWindowIcon(APPICON());
  browser_->setObjectName(QStringLiteral("HELPBROWSER"));
  browser_->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  resize(760, 560);

  std::error_code ec;
  if (std::filesystem::is_regular_file(startPage, ec)) {
    browser_->setSource(QUrl::fromLocalFile(QString::fromStdString(startPage.string())));
  } else {
    browser_->setHtml(
        QString::fromUtf8("<h2>Hilfe nicht gefunden</h2><p>Die Hilfeseiten sind nicht "
                          "installiert. Erwartet wurde die Datei:</p><p><tt>%1</tt></p>")
            .arg(QString::fromStdString(startPage.string()).toHtmlEscaped()));
  }
}

}  // namespace zentor::ui
