#include "report/rpreport.h"

#include <filesystem>
#include <map>

#include "dbf/table.h"
#include "report/definition.h"
#include "report/layout.h"
#include "strutil.h"
#include "tablesource.h"

namespace zentor::report {

using dbf::Result;
using dbf::Status;

// ---- outputs ----

PageListOutput::PageListOutput(const TextMetrics* metrics) : metrics_(metrics ? metrics : &fixed_) {}

Status PageListOutput::preview(void*, const Document& doc, const OutputTexts& texts) {
  deliveries.push_back(Delivery{false, {}, texts, doc});
  return Status::OK();
}

bool PageListOutput::hasPrinter(const std::string& name) const { return printers.empty() || printers.count(name) > 0; }

Status PageListOutput::print(void*, const Document& doc, const std::string& printer, const OutputTexts& texts) {
  if (!printer.empty() && !hasPrinter(printer)) return Status::NotFound("no printer named " + printer);
  deliveries.push_back(Delivery{true, printer, texts, doc});
  return Status::OK();
}

namespace {
Output* gDefaultOutput = nullptr;
}  // namespace

void setDefaultOutput(Output* output) { gDefaultOutput = output; }

Output& defaultOutput() {
  if (gDefaultOutput) return *gDefaultOutput;
  static PageListOutput fallback;
  return fallback;
}

bool PtrDevice::SetPrinterByName(const std::string& name) {
  if (!report_.output().hasPrinter(name)) return false;
  printer_ = name;
  return true;
}

// ---- the report ----

struct RpReport::Impl {
  dbf::Session session;
  void* owner = nullptr;
  std::string fileName;
  ReportDefinition def;
  VariableStore vars;
  std::vector<std::unique_ptr<dbf::Table>> tables;
  std::map<std::string, dbf::Table*> byAlias;
  std::unique_ptr<TableRowSource> source;
  std::unique_ptr<CompiledReport> compiled;
  bool valid = false;
  bool orderChosen = false;
};

RpReport::RpReport() : RpReport(defaultOutput()) {}

RpReport::RpReport(Output& output) : output_(&output), device_(std::make_unique<PtrDevice>(*this)) {}

RpReport::~RpReport() { Close(); }

bool RpReport::Init(void* owner, const std::string& reportPath, const std::string& directory,
                    const std::vector<TableEntry>& tables) {
  Close();
  seek_.clear();
  while_.clear();
  impl_ = std::make_unique<Impl>();
  Impl& im = *impl_;
  im.owner = owner;
  if (!directory.empty()) im.session.setDefaultDirectory(directory);
  const size_t slash = reportPath.find_last_of("/\\");
  im.fileName = slash == std::string::npos ? reportPath : reportPath.substr(slash + 1);

  auto def = loadReportFile(reportPath);
  if (!def.ok()) {
    status_ = def.status();
    return false;
  }
  im.def = std::move(def.value());

  // A table that does not open is left out; it only fails the report when the report reads it.
  Status firstFailure;
  for (const TableEntry& e : tables) {
    auto t = dbf::Table::open(im.session, e.tablePath, dbf::OpenOptions{true, true});
    if (!t.ok()) {
      if (firstFailure.ok()) firstFailure = t.status();
      continue;
    }
    if (!e.indexPath.empty()) {
      const std::string cdx = im.session.findFile(e.indexPath);
      if (cdx.empty() || !(*t)->attachIndex(cdx).ok()) {
        if (firstFailure.ok()) firstFailure = Status::NotFound("index " + e.indexPath + " cannot be attached");
      }
    }
    im.byAlias[upperAscii(e.alias)] = t.value().get();
    im.tables.push_back(std::move(t.value()));
  }

  for (const Variable& v : im.def.variables) im.vars.declare(v.name, v.initial);
  im.source = std::make_unique<TableRowSource>(im.def.data, im.byAlias, im.vars, im.fileName,
                                               im.session.exprSettings());
  if (auto s = im.source->prepare(); !s.ok()) {
    status_ = firstFailure.ok() ? s : Status(s.code() == Status::Code::kNotFound ? firstFailure : s);
    return false;
  }
  auto compiled = CompiledReport::compile(im.def, *im.source, im.vars, im.fileName, im.session.exprSettings());
  if (!compiled.ok()) {
    status_ = compiled.status();
    return false;
  }
  im.compiled = std::move(compiled.value());
  im.valid = true;
  status_ = Status::OK();
  return true;
}

bool RpReport::IsValid() const { return impl_ && impl_->valid; }

void RpReport::SetVariableValue(const std::string& name, const dbf::Value& value) {
  if (impl_) impl_->vars.set(name, value);
}

void RpReport::SetIndex(const std::string& alias, const std::string& tag) {
  if (!IsValid()) return;
  auto it = impl_->byAlias.find(upperAscii(alias));
  if (it == impl_->byAlias.end()) {
    status_ = Status::NotFound("SetIndex: no table " + alias);
    return;
  }
  if (auto s = it->second->selectTag(tag); !s.ok()) {
    status_ = s;
    return;
  }
  if (upperAscii(alias) == impl_->def.data.master) {
    impl_->orderChosen = true;
    impl_->source->setOrderChosen(true);
  }
}

void RpReport::SetSortOrder(const std::string& expression) {
  if (IsValid()) impl_->source->setSortOrder(expression);
}

void RpReport::SeekExpression(const std::string& text) {
  seek_ = text;
  if (IsValid()) impl_->source->setSeek(text);
}

void RpReport::WhileExpression(const std::string& text) {
  while_ = text;
  if (IsValid()) impl_->source->setWhile(text);
}

Result<Document> RpReport::Render() {
  if (!IsValid()) return status_.ok() ? Status::InvalidArgument("the report is not loaded") : status_;
  return impl_->compiled->run(output_->metrics());
}

Status RpReport::PrintPreview(const std::string& reportName, const std::string& prnName, const std::string& title,
                              const std::string& progress) {
  if (!IsValid()) return status_.ok() ? Status::InvalidArgument("the report is not loaded") : status_;
  auto doc = Render();
  if (!doc.ok()) return status_ = doc.status();
  return status_ = output_->preview(impl_->owner, doc.value(), OutputTexts{reportName, prnName, title, progress});
}

PtrDevice& RpReport::PrinterDevice() { return *device_; }

Status RpReport::Print(const std::string& reportName, const std::string& prnName, const std::string& title,
                       const std::string& progress) {
  if (!IsValid()) return status_.ok() ? Status::InvalidArgument("the report is not loaded") : status_;
  auto doc = Render();
  if (!doc.ok()) return status_ = doc.status();
  return status_ = output_->print(impl_->owner, doc.value(), device_->PrinterName(),
                                  OutputTexts{reportName, prnName, title, progress});
}

void RpReport::Close() {
  if (!impl_) return;
  impl_->compiled.reset();
  impl_->source.reset();
  for (auto& t : impl_->tables) t->close();
  impl_.reset();
}

}  // namespace zentor::report
