// Feeds arbitrary bytes to the memo reader as an FPT file beside a small table whose records
// point at assorted blocks: open, every memo, the check, and one new memo. Beyond crashes and
// sanitizer reports (an overlong length must never become a huge allocation) it checks that a
// memo written into a file that opened reads back as written.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dbf/table.h"
#include "support/memfs.h"

namespace {

using namespace zentor::dbf;

constexpr size_t kMaxInput = 1 << 18;

// A table of two fields (N 4, M) with one record per interesting block number.
std::vector<uint8_t> table() {
  const uint32_t blocks[] = {0, 1, 7, 8, 9, 10, 12, 16, 40, 100, 4095, 65536, 0xFFFFFFFF};
  const size_t n = sizeof blocks / sizeof blocks[0];
  const uint16_t headerLen = 32 + 32 * 2 + 2, recordLen = 1 + 4 + 10;
  std::vector<uint8_t> b(headerLen + n * recordLen, ' ');
  std::memset(b.data(), 0, headerLen);
  b[0] = 0xF5;
  b[1] = 125;
  b[2] = 1;
  b[3] = 1;
  b[4] = static_cast<uint8_t>(n);
  b[8] = static_cast<uint8_t>(headerLen);
  b[10] = static_cast<uint8_t>(recordLen);
  std::memcpy(&b[32], "NR", 2);
  b[32 + 11] = 'N';
  b[32 + 16] = 4;
  std::memcpy(&b[64], "TEXT", 4);
  b[64 + 11] = 'M';
  b[64 + 16] = 10;
  b[headerLen - 2] = 0x0D;
  for (size_t i = 0; i < n; ++i) {
    char rec[32];
    std::snprintf(rec, sizeof rec, " %4zu%10u", i, blocks[i]);
    if (blocks[i] == 0) std::memset(rec + 5, ' ', 10);
    std::memcpy(&b[headerLen + i * recordLen], rec, recordLen);
  }
  return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  testing::MemFileSystem fs;
  fs.setContents("/f/MEMO.DBF", table());
  fs.setContents("/f/MEMO.FPT", std::vector<uint8_t>(data, data + size));
  Session s(fs);
  auto opened = Table::open(s, "/f/MEMO.DBF");
  if (!opened.ok()) return 0;
  Table& t = **opened;
  for (Status st = t.goTop(); st.ok() && !t.eof(); st = t.skip()) (void)t.get("TEXT");
  (void)t.check();
  if (!t.go(1).ok() || !t.lock()) return 0;
  const std::string text = "Memo mit Ümlaut";
  if (!t.put("TEXT", Value(text)).ok()) abort();
  if (t.commit().ok()) {
    if (!t.skip(0).ok() || t.get("TEXT").text() != text) abort();
  }
  return 0;
}
