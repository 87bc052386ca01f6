// The report output of the windowed program: preview in Qt's print preview dialog, direct print
// on a printer chosen by name.
#pragma once

#include <functional>
#include <string>
#include <vector>

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

// Writes what would be previewed or printed into PDF files instead, without any window: for
// command-line tools and headless runs. Each delivery goes to `pathFor(texts)`, by default
// "<directory>/<report name>.pdf".
class PdfOutput : public Output {
 public:
  // REQUIRES: a QGuiApplication exists.
  explicit PdfOutput(std::string directory);
  const TextMetrics& metrics() const override { return metrics_; }
  dbf::Status preview(void* owner, const Document& doc, const OutputTexts& texts) override;
  bool hasPrinter(const std::string& name) const override;  // every name: it all goes to files
  dbf::Status print(void* owner, const Document& doc, const std::string& printer, const OutputTexts& texts) override;

  std::function<std::string(const OutputTexts&)> pathFor;
  std::vector<std::string> written;  // the files, in order

 private:
  QtTextMetrics metrics_;
  std::string directory_;
};

// Makes a process-wide QtOutput the default output of every RpReport (see setDefaultOutput).
// REQUIRES: a QApplication exists; call once at start-up.
void installQtReportOutput();

}  // namespace zentor::report
