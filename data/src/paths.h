// File-name helpers of the data layer. Names on disk are matched exactly first and then without
// regard to letter case, because tables copied from Windows installations keep whatever case
// they had there.
#pragma once

#include <string>

#include "dbf/filesystem.h"
#include "dbf/session.h"

namespace zentor::data::detail {

// `dir` followed by `name`, with one '/' between them; an empty dir gives the name.
std::string joinPath(const std::string& dir, const std::string& name);
// The directory of `path` with its trailing '/', or "" for a bare name.
std::string directoryOf(const std::string& path);
// `path` without its extension (".DBF"), directory kept.
std::string withoutExtension(const std::string& path);

// The existing file `name` in `dir`: the exact name, else an entry that differs only in letter
// case. Empty when there is none.
std::string findInDirectory(dbf::FileSystem& fs, const std::string& dir, const std::string& name);

// The existing file for a table file name: a name with a directory is looked for in that
// directory; a bare name in the session's default directory, then in its search path.
std::string resolveFile(dbf::Session& s, const std::string& name);

// The file beside `path` with the same stem and extension `ext` (".CDX"), in any letter case.
std::string siblingFile(dbf::FileSystem& fs, const std::string& path, const std::string& ext);

// `name` + ".DBF" unless it has an extension already.
std::string withDbfExtension(const std::string& name);

}  // namespace zentor::data::detail
