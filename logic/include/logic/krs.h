// Number ranges on the tables: document numbers from the one-record table KRS under its record
// lock, and the next article, customer and account numbers derived from the highest in use.
#pragma once

#include <cstdint>
#include <functional>

#include "dbf/status.h"
#include "logic/context.h"
#include "logic/numbers.h"

namespace zentor::logic {

// Draws the next number of `counter`: waits for the KRS record lock (letting pending events run),
// decides the mode (the counter's own once it holds a number, else [SONSTIGES] Jahresnummern,
// which is rewritten when a counter shows the other mode), stores the number and releases the lock
// by closing. 0 when the yearly range is exhausted (nothing stored) or KRS cannot be opened
// (`error` then says why).
uint32_t GETNEXTNUMMER(const Context& ctx, Counter counter, dbf::Status* error = nullptr);

// The highest ARTNR / KNDNR in use + 1 (1 for an empty table).
uint32_t GETNEXTARTNR(const Context& ctx);
uint32_t GETNEXTKNDNR(const Context& ctx);
// The next free customer account in the four account blocks (see fibuAfter).
uint32_t GETNEXTFIBU(const Context& ctx);

// Derives a number with `derive` and hands it to `store` (which appends or locks its record, sets
// the number and commits) while holding the KRS record lock, so that two workstations asking at
// the same moment can never store the same article, customer or account number. Returns the
// number stored, or 0 when `store` returned false. REQUIRES: `store` draws no KRS number itself
// (it would wait for the lock held here).
uint32_t storeWithNextNumber(const Context& ctx, const std::function<uint32_t()>& derive,
                             const std::function<bool(uint32_t)>& store);

}  // namespace zentor::logic
