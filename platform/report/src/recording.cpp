#include "report/recording.h"

namespace zentor::report {

// Records SetPrinterByName on the report's list and forwards it when the report forwards.
class RecordingRpReport::RecordingDevice : public PtrDevice {
 public:
  explicit RecordingDevice(RecordingRpReport& r) : PtrDevice(r), r_(r) {}
  bool SetPrinterByName(const std::string& name) override {
    r_.calls_.push_back({"SetPrinterByName", {name}, {}});
    return r_.forward_ ? PtrDevice::SetPrinterByName(name) : true;
  }

 private:
  RecordingRpReport& r_;
};

RecordingRpReport::RecordingRpReport(bool valid)
    : RpReport(defaultOutput()), forward_(false), valid_(valid) {
  replaceDevice(std::make_unique<RecordingDevice>(*this));
}

RecordingRpReport::RecordingRpReport(Output& output)
    : RpReport(output), forward_(true), valid_(false) {
  replaceDevice(std::make_unique<RecordingDevice>(*this));
}

bool RecordingRpReport::Init(void* owner, const std::string& reportPath, const std::string& directory,
                             const std::vector<TableEntry>& tables) {
  Call c{"Init", {reportPath, directory}, {}};
  for (const auto& t : tables) c.args.push_back(t.alias + "=" + t.tablePath + "|" + t.indexPath);
  calls_.push_back(std::move(c));
  tables_ = tables;
  return forward_ ? RpReport::Init(owner, reportPath, directory, tables) : valid_;
}

bool RecordingRpReport::IsValid() const {
  calls_.push_back({"IsValid", {}, {}});
  return forward_ ? RpReport::IsValid() : valid_;
}

void RecordingRpReport::SetVariableValue(const std::string& name, const dbf::Value& value) {
  calls_.push_back({"SetVariableValue", {name}, value});
  if (forward_) RpReport::SetVariableValue(name, value);
}

void RecordingRpReport::SetIndex(const std::string& alias, const std::string& tag) {
  calls_.push_back({"SetIndex", {alias, tag}, {}});
  if (forward_) RpReport::SetIndex(alias, tag);
}

void RecordingRpReport::SetSortOrder(const std::string& expression) {
  calls_.push_back({"SetSortOrder", {expression}, {}});
  if (forward_) RpReport::SetSortOrder(expression);
}

void RecordingRpReport::SeekExpression(const std::string& text) {
  calls_.push_back({"SeekExpression", {text}, {}});
  RpReport::SeekExpression(text);  // keeps the text readable in both modes
}

void RecordingRpReport::WhileExpression(const std::string& text) {
  calls_.push_back({"WhileExpression", {text}, {}});
  RpReport::WhileExpression(text);
}

dbf::Status RecordingRpReport::PrintPreview(const std::string& reportName, const std::string& prnName,
                                            const std::string& title, const std::string& progress) {
  calls_.push_back({"PrintPreview", {reportName, prnName, title, progress}, {}});
  return forward_ ? RpReport::PrintPreview(reportName, prnName, title, progress) : dbf::Status::OK();
}

PtrDevice& RecordingRpReport::PrinterDevice() {
  calls_.push_back({"PrinterDevice", {}, {}});
  return RpReport::PrinterDevice();
}

dbf::Status RecordingRpReport::Print(const std::string& reportName, const std::string& prnName,
                                     const std::string& title, const std::string& progress) {
  calls_.push_back({"Print", {reportName, prnName, title, progress}, {}});
  return forward_ ? RpReport::Print(reportName, prnName, title, progress) : dbf::Status::OK();
}

void RecordingRpReport::Close() {
  calls_.push_back({"Close", {}, {}});
  if (forward_) RpReport::Close();
}

std::vector<std::string> RecordingRpReport::callNames() const {
  std::vector<std::string> out;
  for (const auto& c : calls_) out.push_back(c.name);
  return out;
}

std::vector<std::pair<std::string, dbf::Value>> RecordingRpReport::variables() const {
  std::vector<std::pair<std::string, dbf::Value>> out;
  for (const auto& c : calls_) {
    if (c.name == "SetVariableValue") out.emplace_back(c.args[0], c.value);
  }
  return out;
}

}  // namespace zentor::report
