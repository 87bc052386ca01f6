#include "appcore/globals.h"

#include <limits.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "appcore/format.h"
#include "os/files.h"

namespace zentor::app {

Globals::Globals(dbf::FileSystem& fs) : session_(std::make_unique<dbf::Session>(fs)) {
  session_->setDeletedHidden(true);
  session_->setSoftSeek(true);
  dbf::ExprSettings expr = session_->exprSettings();
  expr.centuryWindowStart = kCenturyWindowStart;
  session_->setExprSettings(expr);
}

Globals::~Globals() = default;

void Globals::setProgramDirectory(std::string dir) {
  programDir_ = os::withTrailingSeparator(dir);
  updateSession();
}

void Globals::setDataDirectory(std::string dir) {
  dataDir_ = os::withTrailingSeparator(dir);
  updateSession();
}

void Globals::updateSession() {
  session_->setDefaultDirectory(programDir_);
  session_->setSearchPath(dataDir_.empty() ? std::vector<std::string>{} : std::vector<std::string>{dataDir_});
}

void SETGLOBALSAPP(Globals& g) {
  g.gaBelegArten = {{"Rechnung", "R"}, {"Gutschrift", "G"}, {"Angebot", "A"}};
  g.gaFarben = {Rgb{0, 0, 0}, Rgb{255, 0, 0}};
}

namespace {

std::string withSeparator(std::string dir, char sep) {
  if (!dir.empty() && dir.back() != sep) dir += sep;
  return dir;
}

bool isNameBoundary(char c) { return c == '\\' || c == '/' || c == ':' || c == '"'; }

std::string windowsDirectory(std::string_view commandLine) {
  const std::string upper = os::asciiUpper(commandLine);
  constexpr std::string_view kExe = "ZENTOR.EXE";
  for (size_t pos = upper.find(kExe); pos != std::string::npos; pos = upper.find(kExe, pos + 1)) {
    if (pos > 0 && !isNameBoundary(upper[pos - 1])) continue;
    std::string_view dir = commandLine.substr(0, pos);
    if (!dir.empty() && dir.front() == '"') dir.remove_prefix(1);
    return std::string(dir);
  }
  return {};
}

// The first word of a command line: up to the closing quote when it starts with one, else up to
// the first blank.
std::string_view firstWord(std::string_view commandLine) {
  if (!commandLine.empty() && commandLine.front() == '"') {
    const auto close = commandLine.find('"', 1);
    return commandLine.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
  }
  return commandLine.substr(0, commandLine.find(' '));
}

std::string posixDirectory(std::string_view commandLine, std::string_view cwd) {
  const std::string_view exe = firstWord(commandLine);
  const auto slash = exe.find_last_of('/');
  const std::string name = os::asciiUpper(slash == std::string_view::npos ? exe : exe.substr(slash + 1));
  if ((name != "ZENTOR" && name != "ZENTOR.EXE") || slash == std::string_view::npos) return {};
  std::string dir(exe.substr(0, slash + 1));
  if (dir.front() != '/') dir = withSeparator(std::string(cwd), '/') + dir;
  return dir;
}

}  // namespace

std::string findProgramDirectory(PathStyle style, bool markerExists, std::string_view commandLine,
                                 std::string_view workingDirectory) {
  const char sep = style == PathStyle::kWindows ? '\\' : '/';
  if (markerExists) {
    return std::string(style == PathStyle::kWindows ? kWindowsMarkerDirectory : kPosixMarkerDirectory);
  }
  std::string dir = style == PathStyle::kWindows ? windowsDirectory(commandLine)
                                                 : posixDirectory(commandLine, workingDirectory);
  if (dir.empty()) dir = workingDirectory;
  return withSeparator(std::move(dir), sep);
}

std::string detectProgramDirectory() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string argv0 = raw.substr(0, raw.find('\0'));
  if (argv0.find('/') == std::string::npos) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
      const std::string exe(buf, static_cast<size_t>(n));
      if (os::asciiUpper(exe.substr(exe.find_last_of('/') + 1)) == os::asciiUpper(argv0)) argv0 = exe;
    }
  }
  std::string commandLine = argv0.find(' ') == std::string::npos ? argv0 : "\"" + argv0 + "\"";
  std::string cwd(PATH_MAX, '\0');
  if (::getcwd(cwd.data(), cwd.size()) != nullptr) {
    cwd.resize(std::char_traits<char>::length(cwd.c_str()));
  } else {
    cwd = ".";
  }
  const bool marker = ::access(std::string(kPosixMarkerFile).c_str(), F_OK) == 0;
  return findProgramDirectory(PathStyle::kPosix, marker, commandLine, cwd);
}

}  // namespace zentor::app
