// The single-instance lock across processes: forked rivals that hold it or wait in their company
// selection, and the real program sitting in its selection. No QApplication is made here, so the
// forked children are plain processes.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "main/app_start.h"
#include "main/instance_lock.h"
#include "support/testenv.h"

namespace zentor::start {
namespace {

using data::testing::join;
using data::testing::Pipe;
using data::testing::spawn;
using data::testing::writeFile;

const char* const kRegistry = "MODUS=MEHRFIRMEN\r\nFIRMA=01;1;Muster GmbH\r\n";

TEST(InstanceLock, TwoObjectsOnOneDesktopExcludeEachOtherOthersDoNot) {
  data::testing::TempDir dir;
  InstanceLock a(dir.path(), "x11-_0"), b(dir.path(), "x11-_0"), other(dir.path(), "x11-_1");
  EXPECT_EQ(a.acquire(), InstanceLock::Result::kAcquired);
  EXPECT_EQ(a.acquire(), InstanceLock::Result::kAcquired);  // asking again keeps it
  EXPECT_EQ(b.acquire(), InstanceLock::Result::kHeldElsewhere);
  EXPECT_EQ(other.acquire(), InstanceLock::Result::kAcquired);
  a.release();
  EXPECT_EQ(b.acquire(), InstanceLock::Result::kAcquired);
}

TEST(InstanceLock, NoLockAtAllLetsTheProgramStart) {
  InstanceLock lock("/nonexistent/zentor-locks", "x11-_0");
  app::RecordingMessageService messages;
  EXPECT_FALSE(CHKWINLIST(lock, messages));
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_FALSE(lock.problem().empty());
}

TEST(InstanceLock, DesktopKeys) {
  const struct {
    const char *wayland, *x11, *platform, *key;
  } cases[] = {
      {"wayland-0", ":0", "wayland", "wayland-wayland-0"},
      {"", ":0.1", "xcb", "x11-_0"},
      {"", ":0", "xcb", "x11-_0"},
      {"", "host.example:10.0", "xcb", "x11-host.example_10"},
      {"", "", "offscreen", "offscreen"},
      {"", "", "", "console"},
  };
  for (const auto& c : cases) EXPECT_EQ(desktopKey(c.wayland, c.x11, c.platform), c.key) << c.x11;
}

// One start in this process with the selection answered by `choose`.
struct StartRun {
  data::testing::TempDir program;
  std::string lockDir;
  app::RecordingMessageService messages;
  int asked = 0;
  explicit StartRun(std::string locks) : lockDir(std::move(locks)) { writeFile(program.path() + "FIRMEN.TXT", kRegistry); }
  int start() {
    StartPieces p;
    p.messages = &messages;
    p.programDir = program.path();
    p.lockDirectory = lockDir;
    p.desktop = "offscreen";
    p.chooseCompany = [this](QWidget*, const std::vector<std::string>&) -> std::optional<size_t> {
      ++asked;
      return std::nullopt;
    };
    return APP(p).START();
  }
};

TEST(InstanceLock, ARivalProcessHoldingTheLockRefusesTheStartUntilItDies) {
  data::testing::TempDir locks;
  Pipe ready, done;
  const pid_t rival = spawn([&] {
    InstanceLock lock(locks.path(), "offscreen");
    if (lock.acquire() != InstanceLock::Result::kAcquired) return 1;
    ready.send('L');
    done.wait();  // until the test ends it, or forever
    return 0;
  });
  ASSERT_EQ(ready.wait(), 'L');

  StartRun second(locks.path());
  EXPECT_EQ(second.start(), kExitRefused);
  EXPECT_EQ(second.messages.texts(), (std::vector<std::string>{"Das Programm läuft bereits"}));
  EXPECT_EQ(second.asked, 0);

  // A holder that dies without tidying up leaves nothing behind.
  ::kill(rival, SIGKILL);
  EXPECT_EQ(join(rival), -1);
  StartRun third(locks.path());
  EXPECT_EQ(third.start(), kExitOk);
  EXPECT_EQ(third.asked, 1);
  EXPECT_TRUE(third.messages.messages.empty());
}

TEST(InstanceLock, ARivalProcessInItsCompanySelectionRefusesTheStart) {
  data::testing::TempDir locks;
  Pipe inSelection, goOn;
  const pid_t rival = spawn([&] {
    data::testing::TempDir program;
    writeFile(program.path() + "FIRMEN.TXT", kRegistry);
    app::RecordingMessageService messages;
    StartPieces p;
    p.messages = &messages;
    p.programDir = program.path();
    p.lockDirectory = locks.path();
    p.desktop = "offscreen";
    p.chooseCompany = [&](QWidget*, const std::vector<std::string>&) -> std::optional<size_t> {
      inSelection.send('S');
      goOn.wait();
      return std::nullopt;
    };
    const int rc = APP(p).START();
    return rc == kExitOk && messages.messages.empty() ? 0 : 1;
  });
  ASSERT_EQ(inSelection.wait(), 'S');

  StartRun second(locks.path());
  EXPECT_EQ(second.start(), kExitRefused);
  EXPECT_EQ(second.messages.texts(), (std::vector<std::string>{"Das Programm läuft bereits"}));
  EXPECT_EQ(second.asked, 0);

  goOn.send('G');
  EXPECT_EQ(join(rival), 0);
}

// Starts the built program with `args`, Qt offscreen and its runtime directory in `runtimeDir`.
pid_t startProgram(const std::vector<std::string>& args, const std::string& runtimeDir, bool quiet) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
  if (quiet) {
    ::freopen("/dev/null", "w", stdout);
    ::freopen("/dev/null", "w", stderr);
  }
  const std::string exe = std::string(ZENTOR_BINARY_DIR) + "/app/main/zentor";
  std::vector<char*> argv{const_cast<char*>(exe.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(exe.c_str(), argv.data());
  _exit(127);
}

TEST(Program, HelpAndAWrongCommandLine) {
  data::testing::TempDir runtime;
  EXPECT_EQ(join(startProgram({"--help"}, runtime.path(), true)), kExitOk);
  EXPECT_EQ(join(startProgram({"--bogus"}, runtime.path(), true)), kExitUsage);
  EXPECT_EQ(join(startProgram({"--home"}, runtime.path(), true)), kExitUsage);
}

TEST(Program, TheRealProgramHoldsItsLockWhileItShowsTheSelection) {
  data::testing::TempDir runtime, program;
  ::chmod(runtime.path().c_str(), 0700);
  writeFile(program.path() + "FIRMEN.TXT", kRegistry);
  const pid_t first = startProgram({"--home", program.path()}, runtime.path(), true);

  // The program cannot tell the test when it is ready, so the lock itself is watched: it is
  // taken before the selection opens and then kept while the dialog waits.
  InstanceLock probe(runtime.path(), "offscreen");
  bool held = false;
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
       std::chrono::steady_clock::now() < deadline;) {
    if (probe.acquire() == InstanceLock::Result::kHeldElsewhere) {
      held = true;
      break;
    }
    probe.release();
    int status = 0;
    if (::waitpid(first, &status, WNOHANG) == first) break;  // ended early: no selection shown
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(held) << "the program never took its instance lock";

  StartRun second(runtime.path());
  EXPECT_EQ(second.start(), kExitRefused);
  EXPECT_EQ(second.messages.texts(), (std::vector<std::string>{"Das Programm läuft bereits"}));
  EXPECT_EQ(second.asked, 0);

  ::kill(first, SIGTERM);
  join(first);
}

}  // namespace
}  // namespace zentor::start
