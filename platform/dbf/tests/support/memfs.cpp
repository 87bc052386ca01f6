#include "support/memfs.h"

#include <algorithm>
#include <cstring>

namespace zentor::dbf::testing {

namespace {

bool overlaps(uint64_t a, uint64_t alen, uint64_t b, uint64_t blen) {
  return a < b + blen && b < a + alen;
}

class MemFile : public File {
 public:
  MemFile(std::string path, std::shared_ptr<MemFileSystem::State> st,
          std::shared_ptr<MemFileSystem::Node> node, bool readOnly, FileOpenOptions::Share share)
      : File(std::move(path)), st_(std::move(st)), node_(std::move(node)), readOnly_(readOnly), share_(share) {}

  ~MemFile() override {
    std::lock_guard<std::mutex> g(st_->mu);
    auto& locks = node_->locks;
    locks.erase(std::remove_if(locks.begin(), locks.end(), [&](const auto& l) { return l.owner == this; }),
                locks.end());
    if (share_ == FileOpenOptions::Share::kShared) --node_->sharedOpens;
    if (share_ == FileOpenOptions::Share::kExclusive) node_->exclusiveOpen = false;
    st_->cv.notify_all();
  }

  Status read(uint64_t off, void* buf, size_t n, size_t* got) override {
    std::lock_guard<std::mutex> g(st_->mu);
    const auto& b = node_->bytes;
    size_t avail = off >= b.size() ? 0 : std::min<uint64_t>(n, b.size() - off);
    if (avail) std::memcpy(buf, b.data() + off, avail);
    *got = avail;
    return Status::OK();
  }

  Status write(uint64_t off, const void* buf, size_t n) override {
    std::lock_guard<std::mutex> g(st_->mu);
    if (readOnly_) return Status::ReadOnly(path() + ": opened read-only");
    int no = ++st_->writes;
    bool fail = st_->failAt != 0 && (no == st_->failAt || (st_->failSticky && no > st_->failAt));
    size_t n2 = n;
    if (fail) {
      if (st_->failKind == MemFileSystem::Fault::kIoError) return Status::IoError(path() + ": injected write error");
      if (st_->failKind == MemFileSystem::Fault::kNoSpace) return Status::NoSpace(path() + ": injected disk full");
      n2 = n / 2;
    }
    auto& b = node_->bytes;
    if (off + n2 > b.size()) b.resize(off + n2);
    if (n2) std::memcpy(b.data() + off, buf, n2);
    if (fail) return Status::IoError(path() + ": injected short write");
    return Status::OK();
  }

  Status size(uint64_t* out) override {
    std::lock_guard<std::mutex> g(st_->mu);
    *out = node_->bytes.size();
    return Status::OK();
  }

  Status truncate(uint64_t size) override {
    std::lock_guard<std::mutex> g(st_->mu);
    if (readOnly_) return Status::ReadOnly(path() + ": opened read-only");
    node_->bytes.resize(size);
    return Status::OK();
  }

  Status sync() override { return Status::OK(); }

  Status lock(uint64_t off, uint64_t len, LockType type, bool wait) override {
    std::unique_lock<std::mutex> g(st_->mu);
    auto conflicting = [&] {
      for (const auto& l : node_->locks) {
        if (l.owner == this || !overlaps(off, len, l.off, l.len)) continue;
        if (type == LockType::kExclusive || l.type == LockType::kExclusive) return true;
      }
      return false;
    };
    for (;;) {
      if (st_->refuseLocks) return Status::Locked(path() + ": lock refused (injected)");
      if (!conflicting()) break;
      if (!wait) return Status::Locked(path() + ": byte range held by another handle");
      st_->cv.wait(g);
    }
    dropOwn(off, len);
    node_->locks.push_back({this, off, len, type});
    return Status::OK();
  }

  Status unlock(uint64_t off, uint64_t len) override {
    std::lock_guard<std::mutex> g(st_->mu);
    dropOwn(off, len);
    st_->cv.notify_all();
    return Status::OK();
  }

 private:
  // Own locks are whole units: touching any part of one replaces or drops all of it.
  void dropOwn(uint64_t off, uint64_t len) {
    auto& locks = node_->locks;
    locks.erase(std::remove_if(locks.begin(), locks.end(),
                               [&](const auto& l) { return l.owner == this && overlaps(off, len, l.off, l.len); }),
                locks.end());
    st_->cv.notify_all();
  }

  std::shared_ptr<MemFileSystem::State> st_;
  std::shared_ptr<MemFileSystem::Node> node_;
  bool readOnly_;
  FileOpenOptions::Share share_;
};

std::string parentOf(const std::string& path) {
  auto p = path.find_last_of('/');
  return p == std::string::npos ? std::string() : path.substr(0, p);
}

}  // namespace

Result<std::unique_ptr<File>> MemFileSystem::open(const std::string& path, const FileOpenOptions& opts) {
  std::lock_guard<std::mutex> g(state_->mu);
  auto it = state_->files.find(path);
  if (it == state_->files.end()) {
    if (!opts.create || opts.readOnly) return Status::NotFound(path + ": no such file");
    it = state_->files.emplace(path, std::make_shared<Node>()).first;
  }
  auto node = it->second;
  using Share = FileOpenOptions::Share;
  if (opts.share == Share::kShared && node->exclusiveOpen)
    return Status::Locked(path + ": opened exclusively by another handle");
  if (opts.share == Share::kExclusive && (node->exclusiveOpen || node->sharedOpens > 0))
    return Status::Locked(path + ": in use by another handle");
  if (opts.share == Share::kShared) ++node->sharedOpens;
  if (opts.share == Share::kExclusive) node->exclusiveOpen = true;
  if (opts.create && opts.truncate && !opts.readOnly) node->bytes.clear();
  return std::unique_ptr<File>(new MemFile(path, state_, node, opts.readOnly, opts.share));
}

bool MemFileSystem::exists(const std::string& path) {
  std::lock_guard<std::mutex> g(state_->mu);
  return state_->files.count(path) > 0 ||
         std::find(state_->dirs.begin(), state_->dirs.end(), path) != state_->dirs.end();
}

Status MemFileSystem::remove(const std::string& path) {
  std::lock_guard<std::mutex> g(state_->mu);
  if (!state_->files.erase(path)) return Status::NotFound(path + ": no such file");
  return Status::OK();
}

Status MemFileSystem::rename(const std::string& from, const std::string& to) {
  std::lock_guard<std::mutex> g(state_->mu);
  auto it = state_->files.find(from);
  if (it == state_->files.end()) return Status::NotFound(from + ": no such file");
  auto node = it->second;
  state_->files.erase(it);
  state_->files[to] = node;
  return Status::OK();
}

Result<std::vector<std::string>> MemFileSystem::list(const std::string& dir) {
  std::lock_guard<std::mutex> g(state_->mu);
  std::string d = dir;
  while (d.size() > 1 && d.back() == '/') d.pop_back();
  std::vector<std::string> out;
  for (const auto& [p, n] : state_->files)
    if (parentOf(p) == d) out.push_back(p.substr(p.find_last_of('/') + 1));
  return out;
}

Status MemFileSystem::makeDirectory(const std::string& path) {
  std::lock_guard<std::mutex> g(state_->mu);
  if (std::find(state_->dirs.begin(), state_->dirs.end(), path) == state_->dirs.end()) state_->dirs.push_back(path);
  return Status::OK();
}

void MemFileSystem::failWrite(int n, Fault kind, bool sticky) {
  std::lock_guard<std::mutex> g(state_->mu);
  state_->failAt = state_->writes + n;
  state_->failKind = kind;
  state_->failSticky = sticky;
}

void MemFileSystem::clearFaults() {
  std::lock_guard<std::mutex> g(state_->mu);
  state_->failAt = 0;
  state_->failSticky = false;
}

void MemFileSystem::refuseLocks(bool refuse) {
  std::lock_guard<std::mutex> g(state_->mu);
  state_->refuseLocks = refuse;
  state_->cv.notify_all();
}

int MemFileSystem::writeCount() const {
  std::lock_guard<std::mutex> g(state_->mu);
  return state_->writes;
}

std::vector<uint8_t> MemFileSystem::contents(const std::string& path) const {
  std::lock_guard<std::mutex> g(state_->mu);
  auto it = state_->files.find(path);
  return it == state_->files.end() ? std::vector<uint8_t>() : it->second->bytes;
}

void MemFileSystem::setContents(const std::string& path, std::vector<uint8_t> bytes) {
  std::lock_guard<std::mutex> g(state_->mu);
  auto& node = state_->files[path];
  if (!node) node = std::make_shared<Node>();
  node->bytes = std::move(bytes);
}

}  // namespace zentor::dbf::testing
