// zentorctl print-order: one order document printed as the order window prints it, through
// DOAUFTRAGPRINT with AUFTRAG.RPT of the program directory, except that the "preview" is a PDF
// file. A final print numbers and posts the document exactly as the window's final print does.
//
// Also the copying of the report files into a new installation, which the demo uses: printing
// needs AUFTRAG.RPT in the program directory.

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "command.h"
#include "company_ctx.h"

#ifdef ZENTOR_WITH_REPORTS
#include "headless_gui.h"

#include <memory>

#include "appcore/format.h"
#include "data/tables.h"
#include "dbf/expr.h"
#include "logic/print.h"
#include "report/qtoutput.h"
#include "report/rpreport.h"
#endif

namespace zentor::cli {

namespace fs = std::filesystem;

namespace {

bool isReportFile(const fs::directory_entry& e) {
  std::error_code ec;
  if (!e.is_regular_file(ec)) return false;
  std::string ext = e.path().extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return ext == ".RPT";
}

std::vector<fs::path> reportFilesIn(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (isReportFile(*it)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

std::vector<std::string> installReportFiles(const std::string& programDir, std::string* error) {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  // Installed, the report files lie beside the program; in a build tree zentorctl is in
  // <build>/cli/ and the build copies them into <build>/reports/.
  const fs::path exeDir = exe.parent_path();
  std::vector<fs::path> files;
  for (const fs::path& dir : {exeDir, exeDir.parent_path() / "reports"}) {
    files = reportFilesIn(dir);
    if (!files.empty()) break;
  }
  std::vector<std::string> copied;
  for (const fs::path& f : files) {
    fs::copy_file(f, fs::path(programDir) / f.filename(), fs::copy_options::overwrite_existing, ec);
    if (ec) {
      *error = "cannot copy " + f.string() + " into " + programDir + ": " + ec.message();
      return copied;
    }
    copied.push_back(f.filename().string());
  }
  return copied;
}

namespace {

#ifdef ZENTOR_WITH_REPORTS

// The preview of the print function, written to one PDF file; remembers the pages it wrote.
class OrderPdfOutput : public report::PdfOutput {
 public:
  explicit OrderPdfOutput(std::string path) : PdfOutput(fs::path(path).parent_path().string()) {
    pathFor = [path](const report::OutputTexts&) { return path; };
  }
  dbf::Status preview(void* owner, const report::Document& doc, const report::OutputTexts& texts) override {
    dbf::Status s = PdfOutput::preview(owner, doc, texts);
    if (s.ok()) pages = doc.pages.size();
    return s;
  }
  size_t pages = 0;
};

// "zentorctl: " before the first line of a message of several lines.
void writeMessage(const Invocation& inv, const std::string& message) { inv.err << "zentorctl: " << message << '\n'; }

int runPrintOrder(const Invocation& inv) {
  const auto auftrag = parseOrderNumber(inv.args.positional[0]);
  if (!auftrag) return inv.fail("ORDER must be an order number of 1 to 8 digits");
  const std::optional<std::string> pdf = inv.args.value("pdf");
  if (!pdf || pdf->empty()) return inv.fail("print-order needs --pdf OUT.pdf");
  const bool final = inv.args.has("final");
  const bool complete = inv.args.has("complete");
  const bool deliveryNote = inv.args.has("delivery-note");

  HeadlessGui gui;  // before the output, whose font metrics need it
  std::unique_ptr<CompanySession> company;
  if (int s = openCompany(inv, "print-order", &company); s != kExitOk) return s;
  const logic::Context& ctx = company->context();

  data::DBAKO ako(ctx.env);
  if (!ako.ok()) return inv.fail("cannot open AKO: " + ako.status().toString());
  dbf::Status s = ako->selectTag("AUFTRAG");
  if (s.ok()) s = ako->seek(dbf::dbaseStr(*auftrag, 8), false);
  if (!s.ok()) return inv.fail("cannot search AKO: " + s.toString());
  if (!ako->found()) return inv.fail("order " + std::to_string(*auftrag) + " does not exist");
  // The order window offers the delivery-note print for invoices only.
  if (deliveryNote && ako->getString("TYP").substr(0, 1) != "R") {
    return inv.fail("order " + std::to_string(*auftrag) + " is no invoice, so it has no delivery note");
  }

  const logic::CompanyValues values{company->globals().gnMandant, company->globals().gnFirma};
  OrderPdfOutput output(*pdf);
  report::RpReport rpt(output);
  // An empty printer name: the preview, which is the PDF here.
  const logic::PrintResult r =
      logic::DOAUFTRAGPRINT(rpt, ctx, values, nullptr, ako.table(), final, complete, std::string(), deliveryNote);
  ako.close();

  using Outcome = logic::PrintResult::Outcome;
  using Numbering = logic::NumberingResult::Outcome;
  switch (r.outcome) {
    case Outcome::kOutput:
      break;
    case Outcome::kNoReport: {
      std::string kept;
      if (r.numbering.number != 0) kept = " (the document has its number " + std::to_string(r.numbering.number) + ")";
      return inv.fail("report cannot be loaded: " + rpt.lastStatus().toString() + kept);
    }
    case Outcome::kStopped:
      if (!r.message.empty()) {
        writeMessage(inv, r.message);
      } else if (r.numbering.outcome == Numbering::kLocked) {
        writeMessage(inv, "Auftrag kann nicht gesperrt werden");
      } else {
        writeMessage(inv, "Der Beleg wurde inzwischen an einem anderen Arbeitsplatz nummeriert.");
      }
      return kExitProblems;
    case Outcome::kOutputFailed:
      writeMessage(inv, r.message);
      return kExitProblems;
  }
  inv.out << r.numbering.number << ' ' << app::formatDate(r.numbering.date) << '\n'
          << output.pages << (output.pages == 1 ? " page" : " pages") << " written to " << *pdf << '\n';
  if (!r.message.empty()) {
    // Printed, but the posting broke off: the number stands and a reprint will not post again.
    writeMessage(inv, r.message);
    return kExitProblems;
  }
  return kExitOk;
}

#else

int runPrintOrder(const Invocation& inv) {
  return inv.fail("this zentorctl was built without the report renderer (configure with -DZENTOR_GUI=ON)");
}

#endif

}  // namespace

std::vector<Command> printCommands() {
  return {
      {"print-order",
       "ORDER",
       "prints the order's document (or delivery note) through AUFTRAG.RPT into a PDF; prints number, "
       "date and page count",
       1,
       1,
       {{"final", "", "a final print: numbers (and posts) the document at its first final print"},
        {"complete", "", "the \"Komplett?\" option, handed to the report"},
        {"delivery-note", "", "the delivery note of the invoice instead"},
        {"pdf", "OUT.pdf", "the PDF to write (required)"},
        yesOption()},
       runPrintOrder},
  };
}

}  // namespace zentor::cli
