// Integrity checks of a table with its memo file and index.
#include <algorithm>
#include <cstring>

#include "dbf/table.h"
#include "table_impl.h"

namespace zentor::dbf {
namespace {

// Enough to see what is wrong without drowning the reader in thousands of lines.
constexpr size_t kMaxPerKind = 50;

std::string printable(std::string_view s) {
  std::string out;
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) {
      out += c;
    } else {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02X", u);
      out += b;
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> Table::check() {
  Impl& t = *impl_;
  std::vector<std::string> problems;
  if (!t.open) {
    problems.push_back("table is closed");
    return problems;
  }
  if (!t.flush().ok()) problems.push_back(t.path + ": the changed record could not be written");

  uint64_t size = 0;
  unsigned char h[8];
  size_t got = 0;
  Status st = t.dbf->size(&size);
  if (st.ok()) st = t.dbf->read(0, h, 8, &got);
  if (!st.ok() || got < 8) {
    problems.push_back(t.path + ": header unreadable: " + st.toString());
    return problems;
  }
  const uint32_t physical = size <= t.headerLen ? 0 : static_cast<uint32_t>((size - t.headerLen) / t.recordLen);
  const uint32_t rest = size <= t.headerLen ? 0 : static_cast<uint32_t>((size - t.headerLen) % t.recordLen);
  if (le32(h + 4) != physical)
    problems.push_back(t.path + ": header says " + std::to_string(le32(h + 4)) + " records, the file holds " +
                       std::to_string(physical));
  if (rest > 1) problems.push_back(t.path + ": " + std::to_string(rest) + " bytes of a partial record at the end");

  // Records: flag bytes and memo references.
  struct Extent {
    uint32_t block, blocks, recno;
  };
  std::vector<Extent> extents;
  size_t flagProblems = 0, memoProblems = 0;
  std::vector<char> buf(t.recordLen);
  for (uint32_t r = 1; r <= physical; ++r) {
    st = t.dbf->read(t.recordOffset(r), buf.data(), t.recordLen, &got);
    if (!st.ok() || got < t.recordLen) {
      problems.push_back(t.path + ": record " + std::to_string(r) + " unreadable");
      break;
    }
    if (buf[0] != ' ' && buf[0] != '*' && flagProblems++ < kMaxPerKind)
      problems.push_back(t.path + ": record " + std::to_string(r) + " has delete flag '" + printable(std::string_view(buf.data(), 1)) + "'");
    for (size_t f = 0; f < t.fields.size() && t.hasMemo; ++f) {
      if (t.fields[f].type != 'M') continue;
      double b = parseNumber(t.raw(static_cast<int>(f), buf.data()));
      if (b <= 0) continue;
      if (!t.memo) continue;
      uint32_t blocks = 0;
      st = b > 0xFFFFFFFFu ? Status::Corruption("block number out of range") : t.memo->extent(static_cast<uint32_t>(b), &blocks);
      if (!st.ok()) {
        if (memoProblems++ < kMaxPerKind)
          problems.push_back(t.path + ": record " + std::to_string(r) + " field " + t.fields[f].name + ": " + st.message());
        continue;
      }
      extents.push_back(Extent{static_cast<uint32_t>(b), blocks, r});
    }
  }
  if (t.memo) {
    std::sort(extents.begin(), extents.end(), [](const Extent& a, const Extent& b) { return a.block < b.block; });
    for (size_t i = 1; i < extents.size(); ++i) {
      const Extent& a = extents[i - 1];
      const Extent& b = extents[i];
      if (a.block + a.blocks > b.block && memoProblems++ < kMaxPerKind)
        problems.push_back(t.memoPath + ": memo of record " + std::to_string(a.recno) + " (block " + std::to_string(a.block) +
                           ") overlaps the memo of record " + std::to_string(b.recno) + " (block " + std::to_string(b.block) + ")");
    }
    uint32_t next = 0;
    if (t.memo->nextFree(&next).ok() && !extents.empty()) {
      const Extent& last = extents.back();
      if (uint64_t{last.block} + last.blocks > next)
        problems.push_back(t.memoPath + ": next free block " + std::to_string(next) + " lies inside the memo of record " +
                           std::to_string(last.recno));
    }
  }

  // Index: structure, then one key per record equal to its expression.
  if (t.cdx) {
    st = t.cdx->check(&problems);
    if (!st.ok()) problems.push_back(t.cdxPath + ": " + st.toString());
    for (size_t ti = 0; ti < t.tags.size(); ++ti) {
      const std::string& tag = t.tags[ti].info.name;
      std::vector<cdx::Entry> expected = t.collectEntries(static_cast<int>(ti), {}, &st);
      if (!st.ok()) {
        problems.push_back(t.path + ": records unreadable: " + st.toString());
        break;
      }
      std::vector<uint8_t> seen(expected.size() + 1, 0);
      size_t tagProblems = 0;
      auto report = [&](std::string msg) {
        if (tagProblems++ < kMaxPerKind) problems.push_back(t.cdxPath + " tag " + tag + ": " + std::move(msg));
      };
      st = t.cdx->scan(static_cast<int>(ti), [&](const cdx::Entry& e) {
        if (e.recno == 0 || e.recno > expected.size()) {
          report("key '" + printable(e.key) + "' for record " + std::to_string(e.recno) + " which does not exist");
          return true;
        }
        if (seen[e.recno] < 255) ++seen[e.recno];
        const std::string& want = expected[e.recno - 1].key;
        if (e.key != want)
          report("record " + std::to_string(e.recno) + " has key '" + printable(e.key) + "', its expression gives '" +
                 printable(want) + "'");
        return true;
      });
      if (!st.ok()) {
        problems.push_back(t.cdxPath + " tag " + tag + ": " + st.toString());
        continue;
      }
      for (uint32_t r = 1; r <= expected.size(); ++r) {
        if (seen[r] == 0) report("record " + std::to_string(r) + " has no key");
        else if (seen[r] > 1) report("record " + std::to_string(r) + " has " + std::to_string(seen[r]) + " keys");
      }
      if (tagProblems > kMaxPerKind)
        problems.push_back(t.cdxPath + " tag " + tag + ": " + std::to_string(tagProblems - kMaxPerKind) + " more problems");
    }
  }
  // The checks above moved nothing, but the buffer may be stale by now.
  skip(0);
  return problems;
}

std::vector<std::string> checkTableFile(Session& s, const std::string& path) {
  OpenOptions o;
  o.shared = true;
  o.readOnly = true;
  auto t = Table::open(s, path, o);
  if (!t.ok()) return {path + ": cannot be opened: " + t.status().toString()};
  std::string cdxPath = siblingPath(s.fs(), (*t)->path(), ".CDX");
  if (s.fs().exists(cdxPath)) {
    Status st = (*t)->attachIndex(cdxPath);
    if (!st.ok()) return {cdxPath + ": cannot be attached: " + st.toString()};
  }
  return (*t)->check();
}

}  // namespace zentor::dbf
