// Helpers of the zentorctl tests: running the built program, scratch directories, and reading
// the fixtures' JSON lines.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace zentor::cli::test {

struct RunResult {
  int exitCode = -1;  // -1 when the program did not exit normally (killed by a signal)
  std::string out;
  std::string err;
};

// Runs the built zentorctl with `args` as a child process and waits for it.
RunResult runZentorctl(const std::vector<std::string>& args);

// A fresh directory under the system's temporary directory, removed with everything in it when
// the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Copies the named files of the independent engine's fixtures into `dir` (writable copies).
void copyFixtures(const std::string& dir, const std::vector<std::string>& names);

std::string readFile(const std::string& path);
std::vector<std::string> splitLines(const std::string& text);  // without the line ends
std::vector<std::string> splitTabs(const std::string& line);

// One flat JSON object of the fixtures' *.records.jsonl: every value as text (strings decoded,
// numbers and true/false as written), in file order.
using JsonRecord = std::vector<std::pair<std::string, std::string>>;
JsonRecord parseJsonLine(const std::string& line);

}  // namespace zentor::cli::test
