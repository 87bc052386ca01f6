// Feeds arbitrary bytes to the CDX reader as an index file: open, tag list, scans, seeks, the
// structural check and one write. Beyond crashes, hangs and sanitizer reports it checks that a
// file the check finds sound scans in order, and that a write into it keeps it sound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cdx.h"
#include "cdx_page.h"
#include "support/memfs.h"

namespace {

using namespace zentor::dbf;

constexpr size_t kMaxInput = 1 << 18;
constexpr size_t kMaxScan = 20000;

bool sound(cdx::CdxFile& c) {
  std::vector<std::string> problems;
  return c.check(&problems).ok() && problems.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  testing::MemFileSystem fs;
  const std::string path = "/f/FUZZ.CDX";
  fs.setContents(path, std::vector<uint8_t>(data, data + size));
  auto opened = cdx::CdxFile::open(fs, path, false);
  if (!opened.ok()) return 0;
  cdx::CdxFile& c = **opened;
  bool wasSound = sound(c);
  auto tags = c.tags();
  if (!tags.ok()) return 0;
  for (int t = 0; t < static_cast<int>(tags->size()) && t < 16; ++t) {
    std::vector<cdx::Entry> seen;
    Status st = c.scan(t, [&](const cdx::Entry& e) {
      seen.push_back(e);
      return seen.size() < kMaxScan;
    });
    if (wasSound && st.ok()) {
      for (size_t i = 1; i < seen.size(); ++i)
        if (cdx::detail::compareEntry(seen[i - 1].key, seen[i - 1].recno, seen[i].key, seen[i].recno) >= 0) abort();
    }
    if (!seen.empty()) {
      (void)c.lowerBound(t, seen[seen.size() / 2].key, seen[seen.size() / 2].recno);
      (void)c.next(t, seen.front());
      (void)c.prev(t, seen.back());
    }
    (void)c.first(t);
    (void)c.last(t);
    Status w = c.apply({{t, std::nullopt, std::string((*tags)[t].keyLength, 'M'), 12345}});
    if (wasSound && w.ok() && !sound(c)) abort();
  }
  return 0;
}
