// The report engine as the program calls it: RpReport loads a report file, receives the tables
// and named values, may narrow the master's rows, and hands the laid-out pages to an Output
// (preview, printer). PtrDevice chooses the printer for direct printing.
//
// Calls come in this order: Init, IsValid, SetVariableValue..., optionally SetIndex,
// SetSortOrder, SeekExpression, WhileExpression, then PrintPreview or PrinterDevice /
// SetPrinterByName / Print, and Close. A report that did not load does nothing on the later
// calls and shows no message; lastStatus() says why, for logs and tests.
//
// The calls are virtual so that substitutes (mailing lists, labels) and recording test doubles
// answer the same operations.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dbf/session.h"
#include "dbf/status.h"
#include "dbf/value.h"
#include "report/document.h"
#include "report/textmetrics.h"

namespace zentor::report {

// One table handed to a report: its alias in report expressions, the table file and optionally
// its index file (full paths, or names the engine looks for in the report's directory).
struct TableEntry {
  std::string alias;
  std::string tablePath;
  std::string indexPath;
};

// The four texts of PrintPreview and Print.
struct OutputTexts {
  std::string reportName;  // "AUFTRAG"
  std::string prnName;     // "AUFTRAG.PRN"
  std::string title;       // window title of the preview, job name of a print
  std::string progress;    // shown while the report is laid out
};

// Where finished pages go. The layout measures text with metrics(), so that the pages fit what
// the output will paint.
class Output {
 public:
  virtual ~Output() = default;
  virtual const TextMetrics& metrics() const = 0;
  // Shows the pages modally (printing from the preview included); returns when it is closed.
  // `owner` is the window that owns the preview (opaque; nullptr = none).
  virtual dbf::Status preview(void* owner, const Document& doc, const OutputTexts& texts) = 0;
  // Whether a printer of that name exists.
  virtual bool hasPrinter(const std::string& name) const = 0;
  // Prints the pages on the named printer (empty = the default printer).
  virtual dbf::Status print(void* owner, const Document& doc, const std::string& printer, const OutputTexts& texts) = 0;
};

// Keeps every document it receives, for tests, batch runs and command-line tools.
class PageListOutput : public Output {
 public:
  struct Delivery {
    bool printed = false;  // false: preview
    std::string printer;
    OutputTexts texts;
    Document doc;
  };
  // `metrics` must outlive the output; nullptr = the fixed test metrics.
  explicit PageListOutput(const TextMetrics* metrics = nullptr);

  const TextMetrics& metrics() const override { return *metrics_; }
  dbf::Status preview(void* owner, const Document& doc, const OutputTexts& texts) override;
  bool hasPrinter(const std::string& name) const override;
  dbf::Status print(void* owner, const Document& doc, const std::string& printer, const OutputTexts& texts) override;

  // Printers hasPrinter() knows; while empty, every name is taken.
  std::set<std::string> printers;
  std::vector<Delivery> deliveries;

 private:
  FixedTextMetrics fixed_;
  const TextMetrics* metrics_;
};

// The output RpReport objects use when none is given: set once at start-up by the window layer
// (the Qt renderer); without one, reports go to a process-wide PageListOutput.
void setDefaultOutput(Output* output);
Output& defaultOutput();

class RpReport;

class PtrDevice {
 public:
  explicit PtrDevice(RpReport& report) : report_(report) {}
  virtual ~PtrDevice() = default;
  // Chooses the printer for Print; false (and the previous choice kept) when there is no
  // printer of that name.
  virtual bool SetPrinterByName(const std::string& name);
  const std::string& PrinterName() const { return printer_; }

 private:
  RpReport& report_;
  std::string printer_;
};

class RpReport {
 public:
  RpReport();                          // uses defaultOutput()
  explicit RpReport(Output& output);   // `output` must outlive the report
  virtual ~RpReport();
  RpReport(const RpReport&) = delete;
  RpReport& operator=(const RpReport&) = delete;

  // Loads the report file and opens every table of the list shared and read-only, attaching its
  // index file. `directory` is where table and index names without a directory are looked for
  // first. A table that cannot be opened only matters when the report reads it. Returns IsValid().
  virtual bool Init(void* owner, const std::string& reportPath, const std::string& directory,
                    const std::vector<TableEntry>& tables);
  // True when the report file loaded, its tables opened and every expression compiled.
  virtual bool IsValid() const;

  // Text, number, date or logical; the report reads the variables it declares.
  virtual void SetVariableValue(const std::string& name, const dbf::Value& value);

  // Narrowing of the master's rows. SetIndex selects the tag that orders the table (the master's
  // order for seek and while); SetSortOrder sorts the master's rows by an expression, used only
  // when no SetIndex chose the order; SeekExpression is the start key, an expression such as
  // "' 2'" or "'MAIER'", sought softly in the master's order; WhileExpression a condition such as
  // "Art.Agrnr<=15": rows are read while it holds. They replace what the report file says.
  virtual void SetIndex(const std::string& alias, const std::string& tag);
  virtual void SetSortOrder(const std::string& expression);
  virtual void SeekExpression(const std::string& text);
  virtual void WhileExpression(const std::string& text);
  const std::string& SeekExpression() const { return seek_; }
  const std::string& WhileExpression() const { return while_; }

  // Lays the report out and shows the preview; returns after the preview has closed.
  virtual dbf::Status PrintPreview(const std::string& reportName, const std::string& prnName,
                                   const std::string& title, const std::string& progress);
  virtual PtrDevice& PrinterDevice();
  // Lays the report out and prints it on the printer chosen through PrinterDevice().
  virtual dbf::Status Print(const std::string& reportName, const std::string& prnName,
                            const std::string& title, const std::string& progress);
  // Closes the tables and forgets the report. Idempotent; the destructor calls it.
  virtual void Close();

  // The pages as PrintPreview would show them (for command-line tools and tests).
  dbf::Result<Document> Render();
  // Why Init failed, or what the last output call reported.
  const dbf::Status& lastStatus() const { return status_; }
  Output& output() const { return *output_; }

 protected:
  // Lets a derived report put its own printer object behind PrinterDevice().
  void replaceDevice(std::unique_ptr<PtrDevice> device) { device_ = std::move(device); }

 private:
  struct Impl;
  Output* output_;
  std::unique_ptr<Impl> impl_;
  std::unique_ptr<PtrDevice> device_;
  std::string seek_, while_;
  dbf::Status status_;
};

// How callers that print obtain a report object, so tests can hand in a recording one.
using ReportFactory = std::function<std::unique_ptr<RpReport>()>;

}  // namespace zentor::report
