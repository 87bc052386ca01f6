// The report output of the windowed program: preview in Qt's print preview dialog, direct print
// on a printer chosen by name.
#pragma once

#include <functional>

#include "report/qtrender.h"
#include "report/rpreport.h"

class QPrintPreviewDialog;

namespace zentor::report {

class QtOutput : public Output {
 public:
  // REQUIRES: a QApplication exists.
  QtOutput();
  ~QtOutput() override;

  const TextMetrics& metrics() const override { return metrics_; }
  // Opens the print preview (owner: a QWidget* or nullptr) titled `texts.title`; returns when it
  // has been closed, after printing from it or not.
  dbf::Status preview(void* owner, const Document& doc, const OutputTexts& texts) override;
  bool hasPrinter(const std::string& name) const override;
  dbf::Status print(void* owner, const Document& doc, const std::string& printer, const OutputTexts& texts) override;

  // Called with the open preview dialog before it runs (tests close it from here).
  std::function<void(QPrintPreviewDialog&)> onPreviewOpen;

 private:
  QtTextMetrics metrics_;
};

// Makes a process-wide QtOutput the default output of every RpReport (see setDefaultOutput).
// REQUIRES: a QApplication exists; call once at start-up.
void installQtReportOutput();

}  // namespace zentor::report
