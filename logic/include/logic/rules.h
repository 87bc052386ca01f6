// Master-data rules and lookups. Each function opens the table it needs (shared), searches with an
// exact index search where it searches, and closes the table before it returns; none changes data.
// Record-number arguments are the record being edited, or -1 for a new record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbf/table.h"
#include "logic/context.h"

namespace zentor::logic {

// Existence checks: true when another record (record number != recno) holds the key.
bool CHKEXISTAGRNR(const Context& ctx, int agrnr, int64_t recno);
bool CHKEXISTKGRNR(const Context& ctx, int kgrnr, int64_t recno);
bool CHKEXISTMWST(const Context& ctx, int mwst, int64_t recno);
bool CHKEXISTTXTNR(const Context& ctx, const std::string& txtnr, int64_t recno);
bool CHKEXISTLAND(const Context& ctx, const std::string& land, int64_t recno);

// Deletion checks: true while a record still refers to the key.
bool CHKDELETEAGRNR(const Context& ctx, int agrnr);
bool CHKDELETEKGRNR(const Context& ctx, int kgrnr);
bool CHKDELETEMWST(const Context& ctx, int mwst);  // counts over the whole article table
bool CHKDELETEAUFTRAG(const Context& ctx, uint32_t auftrag);

// The invoice address of the current record of an open customer table (six lines, CR LF).
std::string GETREADR(const Context& ctx, const dbf::Table& knd);
// The country's name for a code, trimmed; "" when the code is not found.
std::string GETLAND(const Context& ctx, const std::string& code);
// The closing text of a quotation from [BELEG] Angebotstext, Grussformel, Unterschrift.
std::string GETANGEBOTSTEXT(const Context& ctx);
// The active VAT rates, default rates first (higher first), then ascending.
std::vector<double> GETMWSARR(const Context& ctx);

struct ReportTable {
  std::string alias, file, index;
};
// The tables handed to the report engine: KND, KGR, LND of the customer directory, then ART, AGR,
// MWS, TXT, AKO, APO of the data directory, each with its index file.
std::vector<ReportTable> GETDBFARR(const Context& ctx);

// Every distinct order number of the sales table of `year` (four digits), ascending; pending
// events run after each record.
std::vector<uint32_t> GETUMSAUFTRAEGE(const Context& ctx, const std::string& year);

}  // namespace zentor::logic
