// A report object for tests of the code that prints: it records every call with its arguments,
// in order, and either answers on its own (no file is read, IsValid as configured, outputs do
// nothing) or forwards to the real engine.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "report/rpreport.h"

namespace zentor::report {

class RecordingRpReport : public RpReport {
 public:
  struct Call {
    std::string name;               // "Init", "SetVariableValue", "PrintPreview", ...
    std::vector<std::string> args;  // texts as passed; Init: report path, directory, then alias=table|index
    dbf::Value value;               // SetVariableValue only
  };

  // Answers on its own; Init and IsValid report `valid`.
  explicit RecordingRpReport(bool valid = true);
  // Forwards every call to the real engine, with `output` as its output.
  explicit RecordingRpReport(Output& output);

  bool Init(void* owner, const std::string& reportPath, const std::string& directory,
            const std::vector<TableEntry>& tables) override;
  bool IsValid() const override;
  void SetVariableValue(const std::string& name, const dbf::Value& value) override;
  void SetIndex(const std::string& alias, const std::string& tag) override;
  void SetSortOrder(const std::string& expression) override;
  void SeekExpression(const std::string& text) override;
  void WhileExpression(const std::string& text) override;
  using RpReport::SeekExpression;
  using RpReport::WhileExpression;
  dbf::Status PrintPreview(const std::string& reportName, const std::string& prnName, const std::string& title,
                           const std::string& progress) override;
  PtrDevice& PrinterDevice() override;
  dbf::Status Print(const std::string& reportName, const std::string& prnName, const std::string& title,
                    const std::string& progress) override;
  void Close() override;

  const std::vector<Call>& calls() const { return calls_; }
  // The names of the calls in order ("Init", "IsValid", ...).
  std::vector<std::string> callNames() const;
  // The SetVariableValue calls in order.
  std::vector<std::pair<std::string, dbf::Value>> variables() const;
  // The table list of the last Init.
  const std::vector<TableEntry>& tables() const { return tables_; }

 private:
  class RecordingDevice;
  bool forward_;
  bool valid_;
  mutable std::vector<Call> calls_;
  std::vector<TableEntry> tables_;
};

}  // namespace zentor::report
