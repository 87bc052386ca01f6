// A QGuiApplication for the commands that lay out and paint reports without a screen.
#pragma once

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGlobal>

#include <memory>

namespace zentor::cli {

// Qt measures and paints text only with a QGuiApplication; zentorctl has no screen to show, so it
// runs on the offscreen platform unless the caller chose another one. Qt's warnings (a missing
// XDG_RUNTIME_DIR and the like) say nothing about the document and would break the one-line
// error convention, so only its critical messages pass while the application exists.
class HeadlessGui {
 public:
  HeadlessGui() {
    if (QCoreApplication::instance() != nullptr) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    previous_ = qInstallMessageHandler(&HeadlessGui::filter);
    app_ = std::make_unique<QGuiApplication>(argc_, argv_);
  }
  ~HeadlessGui() {
    if (app_ == nullptr) return;
    app_.reset();
    qInstallMessageHandler(previous_);
  }
  HeadlessGui(const HeadlessGui&) = delete;
  HeadlessGui& operator=(const HeadlessGui&) = delete;

 private:
  static void filter(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if ((type == QtCriticalMsg || type == QtFatalMsg) && previous_ != nullptr) previous_(type, context, text);
  }

  static inline QtMessageHandler previous_ = nullptr;
  // QGuiApplication keeps references to these, so they are declared before it and outlive it.
  int argc_ = 1;
  char name_[10] = "zentorctl";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QGuiApplication> app_;
};

}  // namespace zentor::cli
