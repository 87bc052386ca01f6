// Replays inputs through a fuzz target without libFuzzer: every regular file of the directories
// (recursively, in name order) and every file named on the command line is passed once to
// LLVMFuzzerTestOneInput. Built into every fuzz_<name>_replay program, so the corpora run as
// ordinary tests in every build, under the sanitizers too when the build has them.
//
// Arguments that begin with '-' are libFuzzer options and are ignored, so a libFuzzer command
// line can be reused. A path that does not exist is an error: a replay that silently finds
// nothing would pass for a clean run.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

bool collect(const std::string& arg, std::vector<fs::path>* files) {
  std::error_code ec;
  if (fs::is_regular_file(arg, ec)) {
    files->push_back(arg);
    return true;
  }
  if (!fs::is_directory(arg, ec)) {
    std::fprintf(stderr, "replay: %s: no such file or directory\n", arg.c_str());
    return false;
  }
  std::vector<fs::path> found;
  for (fs::recursive_directory_iterator it(arg, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec)) found.push_back(it->path());
  }
  if (ec) {
    std::fprintf(stderr, "replay: %s: %s\n", arg.c_str(), ec.message().c_str());
    return false;
  }
  std::sort(found.begin(), found.end());
  files->insert(files->end(), found.begin(), found.end());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<fs::path> files;
  bool ok = true;
  int paths = 0;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') continue;
    ++paths;
    ok = collect(argv[i], &files) && ok;
  }
  if (paths == 0) {
    std::fprintf(stderr, "usage: %s DIR|FILE...\n", argv[0]);
    return 2;
  }
  if (!ok) return 2;
  for (const auto& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "replay: cannot read %s\n", f.c_str());
      return 2;
    }
    // Named before it runs: when an input crashes, the last line says which one.
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", f.c_str(), data.size());
    std::fflush(stderr);
    static const uint8_t kNoBytes = 0;  // libFuzzer never passes a null pointer, not even for empty input
    LLVMFuzzerTestOneInput(data.empty() ? &kNoBytes : data.data(), data.size());
  }
  std::printf("replayed %zu inputs\n", files.size());
  return 0;
}
