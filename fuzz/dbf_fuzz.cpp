// Feeds arbitrary bytes to the table reader as a DBF file (beside a small sound memo file): open,
// every record and field, navigation both ways, the check, and one append. Beyond crashes, hangs
// and sanitizer reports it checks that an append into a table that opened adds exactly one
// record and that the record reads back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "dbf/table.h"
#include "support/memfs.h"

namespace {

using namespace zentor::dbf;

constexpr size_t kMaxInput = 1 << 18;
constexpr uint32_t kMaxRecords = 4000;

// A memo file whose first blocks hold short texts, so memo references in the input lead somewhere.
std::vector<uint8_t> memoFile() {
  std::vector<uint8_t> m(512 + 64 * 8, 0);
  m[3] = 16;  // next free block
  m[7] = 64;  // block size
  for (int b = 8; b < 16; ++b) {
    uint8_t* p = &m[static_cast<size_t>(b) * 64];
    p[3] = 1;
    p[7] = static_cast<uint8_t>(b * 3);
    for (int i = 0; i < b * 3 && i < 56; ++i) p[8 + i] = static_cast<uint8_t>('a' + i % 26);
  }
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  testing::MemFileSystem fs;
  fs.setContents("/f/FUZZ.DBF", std::vector<uint8_t>(data, data + size));
  fs.setContents("/f/FUZZ.FPT", memoFile());
  Session s(fs);
  s.setDeletedHidden(false);
  auto opened = Table::open(s, "/f/FUZZ.DBF");
  if (!opened.ok()) {
    if (opened.status().message().empty()) abort();  // every failure names its reason
    return 0;
  }
  Table& t = **opened;
  uint32_t count = t.recCount();
  uint32_t seen = 0;
  for (Status st = t.goTop(); st.ok() && !t.eof() && seen < kMaxRecords; st = t.skip(), ++seen) {
    for (int i = 0; i < t.fieldCount(); ++i) {
      (void)t.get(i);
      (void)t.rawField(i);
    }
    (void)t.deleted();
  }
  if (seen < kMaxRecords && seen != count) abort();  // natural order visits every record
  for (Status st = t.goBottom(); st.ok() && !t.bof() && seen > 0; st = t.skip(-1), --seen) {
  }
  (void)t.check();
  (void)t.go(count / 2 + 1);
  if (t.append().ok()) {
    if (t.recCount() != count + 1 || t.recno() != count + 1) abort();
    for (int i = 0; i < t.fieldCount(); ++i) {
      const FieldDef& f = t.fields()[static_cast<size_t>(i)];
      if (f.type == 'C') (void)t.put(i, Value("fuzz"));
      if (f.type == 'N') (void)t.put(i, Value(1));
      if (f.type == 'M') (void)t.put(i, Value("neuer Text"));
    }
    if (t.commit().ok()) {
      if (!t.go(count + 1).ok() || t.recno() != count + 1) abort();
      for (int i = 0; i < t.fieldCount(); ++i)
        if (t.fields()[static_cast<size_t>(i)].type == 'M' && t.get(i).text() != "neuer Text") abort();
    }
  }
  return 0;
}
