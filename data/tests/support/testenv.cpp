#include "support/testenv.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace zentor::data::testing {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "zentor-data-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void setUpSession(dbf::Session& s, const std::string& programDir, const std::string& dataDir) {
  s.setDefaultDirectory(programDir);
  s.setSearchPath({dataDir});
  s.setDeletedHidden(true);
  s.setSoftSeek(true);
  s.setSyncOnCommit(false);  // scratch files; durability is the engine's own test subject
}

Install::Install(dbf::FileSystem& fs) : session(fs) {
  programDir = root.path();
  dataDir = programDir + "FIRMA01/";
  std::filesystem::create_directory(dataDir);
  setUpSession(session, programDir, dataDir);
}

Env Install::env(const std::string& customerDir) {
  return Env{&session, programDir, dataDir, customerDir};
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

uint64_t fileSize(const std::string& path) {
  std::error_code ec;
  auto n = std::filesystem::file_size(path, ec);
  return ec ? 0 : n;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

Pipe::Pipe() {
  if (pipe(fd_) != 0) throw std::runtime_error("pipe failed");
}

Pipe::~Pipe() {
  close(fd_[0]);
  close(fd_[1]);
}

void Pipe::send(char c) {
  if (write(fd_[1], &c, 1) != 1) std::perror("pipe write");
}

char Pipe::wait() {
  char c = 0;
  return read(fd_[0], &c, 1) == 1 ? c : 0;
}

pid_t spawn(const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int rc = 99;
    try {
      rc = body();
    } catch (...) {
      rc = 98;
    }
    _exit(rc);
  }
  return pid;
}

int join(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

dbf::FileSystem& real() { return dbf::FileSystem::defaultFileSystem(); }

bool contains(const std::string& path, const std::string& part) {
  return !part.empty() && path.find(part) != std::string::npos;
}

class FaultyFile : public dbf::File {
 public:
  FaultyFile(std::unique_ptr<dbf::File> inner, FaultyFileSystem& fs, bool faulty, bool lossy)
      : File(inner->path()), inner_(std::move(inner)), fs_(fs), faulty_(faulty), lossy_(lossy) {}
  dbf::Status read(uint64_t off, void* buf, size_t n, size_t* got) override { return inner_->read(off, buf, n, got); }
  dbf::Status write(uint64_t off, const void* buf, size_t n) override {
    if (faulty_ && fs_.writesSeen++ >= fs_.writesBeforeFailure)
      return dbf::Status::NoSpace("injected: disk full writing " + path());
    if (lossy_ && off + n > fs_.loseFrom) {
      if (off >= fs_.loseFrom) return dbf::Status::OK();
      n = static_cast<size_t>(fs_.loseFrom - off);
    }
    return inner_->write(off, buf, n);
  }
  dbf::Status size(uint64_t* out) override { return inner_->size(out); }
  dbf::Status truncate(uint64_t size) override { return inner_->truncate(size); }
  dbf::Status sync() override { return inner_->sync(); }
  dbf::Status lock(uint64_t off, uint64_t len, dbf::LockType type, bool wait) override {
    return inner_->lock(off, len, type, wait);
  }
  dbf::Status unlock(uint64_t off, uint64_t len) override { return inner_->unlock(off, len); }

 private:
  std::unique_ptr<dbf::File> inner_;
  FaultyFileSystem& fs_;
  bool faulty_;
  bool lossy_;
};

}  // namespace

dbf::Result<std::unique_ptr<dbf::File>> FaultyFileSystem::open(const std::string& path,
                                                               const dbf::FileOpenOptions& opts) {
  auto f = real().open(path, opts);
  if (!f.ok()) return f.status();
  return std::unique_ptr<dbf::File>(
      std::make_unique<FaultyFile>(std::move(f).value(), *this, contains(path, failWritesTo),
                                   contains(path, loseWritesTo)));
}

bool FaultyFileSystem::exists(const std::string& path) { return real().exists(path); }
dbf::Status FaultyFileSystem::remove(const std::string& path) { return real().remove(path); }
dbf::Status FaultyFileSystem::rename(const std::string& from, const std::string& to) {
  if (contains(from, failRenamesOf)) return dbf::Status::IoError("injected: cannot rename " + from);
  return real().rename(from, to);
}
dbf::Result<std::vector<std::string>> FaultyFileSystem::list(const std::string& dir) { return real().list(dir); }
dbf::Status FaultyFileSystem::makeDirectory(const std::string& path) { return real().makeDirectory(path); }

}  // namespace zentor::data::testing
