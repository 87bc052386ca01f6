#include "fpt.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zentor::dbf::fpt {
namespace {

uint32_t be32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
void putBe32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

// The memo-file lock that writers of other engines take too.
constexpr uint64_t kLockOffset = 0;

class LockGuard {
 public:
  explicit LockGuard(File& f) : f_(f) { st_ = f_.lock(kLockOffset, 1, LockType::kExclusive, true); }
  ~LockGuard() {
    if (st_.ok()) f_.unlock(kLockOffset, 1);
  }
  const Status& status() const { return st_; }

 private:
  File& f_;
  Status st_;
};

}  // namespace

Result<std::unique_ptr<MemoFile>> MemoFile::open(FileSystem& fs, const std::string& path, bool readOnly) {
  FileOpenOptions o;
  o.readOnly = readOnly;
  auto f = fs.open(path, o);
  if (!f.ok()) return f.status();
  unsigned char h[8];
  size_t got = 0;
  Status st = (*f)->read(0, h, sizeof h, &got);
  if (!st.ok()) return st;
  if (got < sizeof h) return Status::Corruption(path + ": memo file header is truncated");
  uint32_t bs = be32(h + 4);
  if (bs == 0 || bs > 0xFFFF) bs = (uint32_t{h[6]} << 8) | h[7];
  if (bs == 0) return Status::Corruption(path + ": memo file names no block size");
  return std::unique_ptr<MemoFile>(new MemoFile(std::move(*f), bs));
}

Status MemoFile::create(FileSystem& fs, const std::string& path, uint32_t blockSize) {
  FileOpenOptions o;
  o.create = true;
  o.truncate = true;
  auto f = fs.open(path, o);
  if (!f.ok()) return f.status();
  std::vector<unsigned char> h(kHeaderSize, 0);
  putBe32(h.data(), (kHeaderSize + blockSize - 1) / blockSize);
  putBe32(h.data() + 4, blockSize);
  return (*f)->write(0, h.data(), h.size());
}

Status MemoFile::header(uint32_t block, uint32_t* type, uint32_t* len) {
  if (block < firstBlock())
    return Status::Corruption(path() + ": memo block " + std::to_string(block) + " lies inside the header");
  uint64_t size = 0;
  Status st = file_->size(&size);
  if (!st.ok()) return st;
  uint64_t off = uint64_t{block} * blockSize_;
  if (off + 8 > size)
    return Status::Corruption(path() + ": memo block " + std::to_string(block) + " lies past the end of the file");
  unsigned char h[8];
  size_t got = 0;
  st = file_->read(off, h, 8, &got);
  if (!st.ok()) return st;
  if (got < 8) return Status::Corruption(path() + ": memo block " + std::to_string(block) + " is truncated");
  *type = be32(h);
  *len = be32(h + 4);
  if (off + 8 + *len > size)
    return Status::Corruption(path() + ": memo at block " + std::to_string(block) + " claims " +
                              std::to_string(*len) + " bytes, more than the file holds");
  return Status::OK();
}

Status MemoFile::read(uint32_t block, std::string* text, uint32_t* type) {
  uint32_t t = 0, len = 0;
  Status st = header(block, &t, &len);
  if (!st.ok()) return st;
  if (type) *type = t;
  text->resize(len);
  size_t got = 0;
  st = file_->read(uint64_t{block} * blockSize_ + 8, text->data(), len, &got);
  if (!st.ok()) return st;
  if (got < len) return Status::Corruption(path() + ": memo at block " + std::to_string(block) + " is truncated");
  return Status::OK();
}

Status MemoFile::extent(uint32_t block, uint32_t* blocks) {
  uint32_t t = 0, len = 0;
  Status st = header(block, &t, &len);
  if (!st.ok()) return st;
  *blocks = static_cast<uint32_t>((uint64_t{len} + 8 + blockSize_ - 1) / blockSize_);
  return Status::OK();
}

Status MemoFile::nextFree(uint32_t* out) {
  unsigned char h[4];
  size_t got = 0;
  Status st = file_->read(0, h, 4, &got);
  if (!st.ok()) return st;
  if (got < 4) return Status::Corruption(path() + ": memo file header is truncated");
  *out = be32(h);
  return Status::OK();
}

Status MemoFile::setNextFree(uint32_t next) {
  unsigned char h[4];
  putBe32(h, next);
  return file_->write(0, h, 4);
}

Status MemoFile::write(std::string_view text, uint32_t* block) {
  if (text.size() > 0x7FFFFFFFu) return Status::InvalidArgument(path() + ": memo text too long");
  LockGuard guard(*file_);
  if (!guard.status().ok()) return guard.status();
  uint32_t next = 0;
  Status st = nextFree(&next);
  if (!st.ok()) return st;
  uint64_t size = 0;
  st = file_->size(&size);
  if (!st.ok()) return st;
  // A header that lags behind the file (a crashed writer, a careless engine) must not make us
  // overwrite what lies at the end.
  uint64_t endBlock = (size + blockSize_ - 1) / blockSize_;
  // A next free block far behind the end of the file is a damaged header; following it would
  // write gigabytes of nothing.
  if (next > endBlock && next > firstBlock())
    return Status::Corruption(path() + ": next free block " + std::to_string(next) + " lies beyond the end of the file");
  uint64_t at = std::max<uint64_t>({next, endBlock, firstBlock()});
  uint64_t blocks = (text.size() + 8 + blockSize_ - 1) / blockSize_;
  if (at + blocks > 0xFFFFFFFFu) return Status::NoSpace(path() + ": memo file is full");
  std::string buf(static_cast<size_t>(blocks * blockSize_), '\0');
  putBe32(reinterpret_cast<unsigned char*>(buf.data()), kMemoText);
  putBe32(reinterpret_cast<unsigned char*>(buf.data()) + 4, static_cast<uint32_t>(text.size()));
  std::memcpy(buf.data() + 8, text.data(), text.size());
  st = file_->write(at * blockSize_, buf.data(), buf.size());
  if (!st.ok()) {
    file_->truncate(size);  // best effort: leave no torn memo behind
    return st;
  }
  st = setNextFree(static_cast<uint32_t>(at + blocks));
  if (!st.ok()) {
    file_->truncate(size);
    return st;
  }
  *block = static_cast<uint32_t>(at);
  return Status::OK();
}

}  // namespace zentor::dbf::fpt
