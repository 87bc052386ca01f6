// Engine-wide settings and the registry of open tables of one program run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dbf/expr.h"
#include "dbf/filesystem.h"

namespace zentor::dbf {

class Table;

class Session {
 public:
  explicit Session(FileSystem& fs = FileSystem::defaultFileSystem());
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  FileSystem& fs() const { return *fs_; }

  // A file named without a directory is looked for in the default directory first, then in the
  // directories of the search path, in order. Directories may or may not end in '/'.
  void setDefaultDirectory(std::string dir) { defaultDir_ = std::move(dir); }
  const std::string& defaultDirectory() const { return defaultDir_; }
  void setSearchPath(std::vector<std::string> dirs) { searchPath_ = std::move(dirs); }
  const std::vector<std::string>& searchPath() const { return searchPath_; }
  // The existing file for `name` by the rule above; a name with a directory is returned as it is
  // when it exists. Empty when nothing is found.
  std::string findFile(const std::string& name) const;
  // Where a new file of that name goes: a name with a directory as it is, else the default directory.
  std::string pathForNewFile(const std::string& name) const;

  // SET DELETED: deleted records are invisible to navigation and seeks while true.
  bool deletedHidden() const { return deletedHidden_; }
  void setDeletedHidden(bool on) { deletedHidden_ = on; }
  // SET SOFTSEEK: the default of Table::seek.
  bool softSeek() const { return softSeek_; }
  void setSoftSeek(bool on) { softSeek_ = on; }
  // Whether commit() forces the data to stable storage (fdatasync) besides writing it.
  bool syncOnCommit() const { return syncOnCommit_; }
  void setSyncOnCommit(bool on) { syncOnCommit_ = on; }

  const ExprSettings& exprSettings() const { return exprSettings_; }
  void setExprSettings(ExprSettings s) { exprSettings_ = s; }

  // Closes every table still open in this session (CLOSE ALL).
  void closeAll();
  // Open tables, for closeAll and diagnostics. Tables register themselves.
  const std::vector<Table*>& openTables() const { return open_; }

 private:
  friend class Table;
  void registerTable(Table* t);
  void unregisterTable(Table* t);

  FileSystem* fs_;
  std::string defaultDir_;
  std::vector<std::string> searchPath_;
  bool deletedHidden_ = true;
  bool softSeek_ = true;
  bool syncOnCommit_ = true;
  ExprSettings exprSettings_;
  std::vector<Table*> open_;
};

}  // namespace zentor::dbf
