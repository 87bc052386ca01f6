// Printing one document of one order: the order's own document (invoice, credit note or
// quotation, after its kind) or its delivery note, through the report file AUFTRAG.RPT of the
// program directory.
//
// The report object is the caller's: the windows and zentorctl hand in an RpReport on their
// output (Qt preview and printer, a PDF writer), tests a recording one. DOAUFTRAGPRINT shows no
// message itself; what the caller should show comes back in the result.
#pragma once

#include <cstdint>
#include <string>

#include "dbf/status.h"
#include "dbf/table.h"
#include "dbf/value.h"
#include "logic/context.h"
#include "logic/finalise.h"

namespace zentor::report {
class RpReport;
}

namespace zentor::logic {

// The company values the report receives (gnMandant, gnFirma of the program-wide values).
struct CompanyValues {
  int nMandant = 0;
  int nFirma = 0;
};

struct PrintResult {
  enum class Outcome {
    kOutput,     // the preview was shown or the document printed
    kNoReport,   // AUFTRAG.RPT missing or invalid: nothing shown, no message (numbering happened)
    kStopped,    // the numbering step stopped: nothing printed (see `numbering` and `message`)
    kOutputFailed,  // the report loaded but could not be laid out or sent to the printer
  };
  Outcome outcome = Outcome::kOutput;
  NumberingResult numbering;  // number and date printed, or why nothing was
  // German text the caller shows in an error box; empty = show nothing. Set for an exhausted
  // number range, a number that could not be stored, a posting that failed after the number was
  // stored (the document is printed anyway) and a failed output.
  std::string message;
  dbf::Status status;  // the engine's or the tables' detail behind `message`, for logs
};

// DOAUFTRAGPRINT with `report` as the report object:
//  1. looks up the order's customer (KND, tag KNDNR, exact search of str(KNDNR,5));
//  2. runs the numbering step (may issue the number and post the document); when it stops,
//     nothing is printed and only the customer table is closed again;
//  3. sums the discounts of the order's positions (lRabatt);
//  4. commits and unlocks the order record (a lock the caller holds on `ako` is released too);
//  5./6. opens program directory + "AUFTRAG.RPT" with the data directory and GETDBFARR and, when
//     it loaded, sets the report values: nMandant, nFirma, cLogo, lKomplett, lRabatt, nAuftrag,
//     nNrKreis, dDatum, cWerbetext1/2, cAdresse, cBank1/2, cGericht, cAngebotstext (quotations
//     only), cZiel, cKndAdresse, cKndLand, cKndUid, cAkoArt, dAkoBedatum, cAkoBedurch,
//     cAkoVersand, nAkoMwst, cAkoLsadr, cAkoNtoBto in this order (texts as stored), then the totals computed like the accounting transfer computes them: nSumme (sum of
//     the position values), nNetto, nMwstBetrag, nBrutto;
//  7. previews (empty printer name, or a NOPRINT file in the program or data directory) or prints
//     on the named printer;
//  8./9. closes the report, then the customer table (which releases the posting's customer lock).
// `ako` is the caller's order header table positioned on the order; `owner` is handed to the
// report engine as the owner of its windows.
PrintResult DOAUFTRAGPRINT(report::RpReport& report, const Context& ctx, const CompanyValues& company,
                           void* owner, dbf::Table& ako, bool final, bool complete,
                           const std::string& printerName, bool deliveryNote = false);

// The same on a report object of the process's default output (setDefaultOutput).
PrintResult DOAUFTRAGPRINT(const Context& ctx, const CompanyValues& company, void* owner, dbf::Table& ako,
                           bool final, bool complete, const std::string& printerName, bool deliveryNote = false);

// The delivery-address value: the four lines without trailing blanks, joined by CR LF (no break
// after the fourth).
std::string deliveryAddress(const dbf::Table& ako);

// Whether a marker file of that name exists where a table named without a directory is looked
// for: the program directory, then the data directory.
bool markerFileExists(const Context& ctx, const std::string& name);

}  // namespace zentor::logic
