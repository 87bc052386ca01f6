#include "support/faultfs.h"

namespace zentor::dbf::testing {
namespace {

class FaultFile final : public File {
 public:
  FaultFile(std::unique_ptr<File> inner, std::shared_ptr<FaultFileSystem::State> state)
      : File(inner->path()), inner_(std::move(inner)), state_(std::move(state)) {}

  Status read(uint64_t off, void* buf, size_t n, size_t* got) override { return inner_->read(off, buf, n, got); }

  Status write(uint64_t off, const void* buf, size_t n) override {
    int no = ++state_->writes;
    int at = state_->failAt;
    if (at == 0 || (no < at) || (no > at && !state_->sticky)) return inner_->write(off, buf, n);
    if (no > at && static_cast<FaultFileSystem::Fault>(state_->kind.load()) == FaultFileSystem::Fault::kNoSpace) {
      // A full disk still takes writes over bytes the file already has.
      uint64_t size = 0;
      if (inner_->size(&size).ok() && off + n <= size) return inner_->write(off, buf, n);
    }
    switch (static_cast<FaultFileSystem::Fault>(state_->kind.load())) {
      case FaultFileSystem::Fault::kIoError:
        return Status::IoError("cannot write " + path() + ": injected I/O error");
      case FaultFileSystem::Fault::kShortWrite:
        if (n > 1) inner_->write(off, buf, n / 2);
        return Status::IoError("cannot write " + path() + ": injected short write");
      case FaultFileSystem::Fault::kNoSpace:
        return Status::NoSpace("cannot write " + path() + ": No space left on device (injected)");
    }
    return Status::IoError("unreachable");
  }

  Status size(uint64_t* out) override { return inner_->size(out); }
  Status truncate(uint64_t size) override { return inner_->truncate(size); }
  Status sync() override { return inner_->sync(); }

  Status lock(uint64_t off, uint64_t len, LockType type, bool wait) override {
    if (state_->refuseLocks) return Status::Locked(path() + ": lock refused (injected)");
    return inner_->lock(off, len, type, wait);
  }
  Status unlock(uint64_t off, uint64_t len) override { return inner_->unlock(off, len); }

 private:
  std::unique_ptr<File> inner_;
  std::shared_ptr<FaultFileSystem::State> state_;
};

}  // namespace

Result<std::unique_ptr<File>> FaultFileSystem::open(const std::string& path, const FileOpenOptions& opts) {
  auto f = base_.open(path, opts);
  if (!f.ok()) return f.status();
  return std::unique_ptr<File>(new FaultFile(std::move(*f), state_));
}

void FaultFileSystem::armWrite(int n, Fault kind, bool sticky) {
  state_->kind = static_cast<int>(kind);
  state_->sticky = sticky;
  state_->failAt = state_->writes + n;
}

void FaultFileSystem::disarm() {
  state_->failAt = 0;
  state_->sticky = false;
}

}  // namespace zentor::dbf::testing
