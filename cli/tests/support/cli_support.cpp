#include "support/cli_support.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

namespace zentor::cli::test {

namespace fs = std::filesystem;

RunResult runZentorctl(const std::vector<std::string>& args) {
  RunResult r;
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
    ADD_FAILURE() << "pipe failed";
    return r;
  }
  std::vector<char*> argv;
  std::string prog = ZENTORCTL_PATH;
  argv.push_back(prog.data());
  std::vector<std::string> copies(args);
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(outPipe[1]);
    close(errPipe[0]);
    close(errPipe[1]);
    execv(prog.c_str(), argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  // Both pipes are drained together: a child that fills one while we block on the other would
  // never finish.
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&r.out, &r.err};
  int open = 2;
  char buf[65536];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

ScratchDir::ScratchDir() {
  std::string tmpl = (fs::temp_directory_path() / "zentorctl-test-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void copyFixtures(const std::string& dir, const std::vector<std::string>& names) {
  const fs::path src = fs::path(ZENTOR_FIXTURES_DIR) / "peer-cdx";
  for (const auto& n : names) {
    fs::copy_file(src / n, fs::path(dir) / n, fs::copy_options::overwrite_existing);
    fs::permissions(fs::path(dir) / n, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
  }
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> cols;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    cols.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return cols;
    start = tab + 1;
  }
}

namespace {

void appendUtf8(std::string& s, unsigned cp) {
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string parseString(const std::string& line, size_t& i) {
  std::string s;
  ++i;  // opening quote
  while (i < line.size() && line[i] != '"') {
    char c = line[i++];
    if (c != '\\') {
      s += c;
      continue;
    }
    char e = line[i++];
    switch (e) {
      case 'n': s += '\n'; break;
      case 'r': s += '\r'; break;
      case 't': s += '\t'; break;
      case 'b': s += '\b'; break;
      case 'f': s += '\f'; break;
      case 'u': {
        unsigned cp = static_cast<unsigned>(std::stoul(line.substr(i, 4), nullptr, 16));
        i += 4;
        appendUtf8(s, cp);
        break;
      }
      default: s += e;  // \" \\ \/
    }
  }
  ++i;  // closing quote
  return s;
}

}  // namespace

JsonRecord parseJsonLine(const std::string& line) {
  JsonRecord rec;
  size_t i = line.find('{') + 1;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ',' || line[i] == ' ')) ++i;
    if (i >= line.size() || line[i] == '}') break;
    std::string key = parseString(line, i);
    while (line[i] == ':' || line[i] == ' ') ++i;
    std::string value;
    if (line[i] == '"') {
      value = parseString(line, i);
    } else {
      size_t end = line.find_first_of(",}", i);
      value = line.substr(i, end - i);
      i = end;
    }
    rec.emplace_back(std::move(key), std::move(value));
  }
  return rec;
}

}  // namespace zentor::cli::test
