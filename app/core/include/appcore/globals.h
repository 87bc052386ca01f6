// The program-wide values of one program run, held in one object that start-up creates and hands
// to whoever needs them (single GUI thread, no locking), and the detection of the program
// directory.
//
// Directories always end with the path separator, so a file path is directory + name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/filesystem.h"
#include "dbf/session.h"
#include "os/inifile.h"

namespace zentor::app {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A document kind: its name for the user and the letter stored in AKO.TYP.
struct BelegArt {
  std::string name;
  std::string code;
  friend bool operator==(const BelegArt&, const BelegArt&) = default;
};

class Globals {
 public:
  // The table engine session starts with the program's run-time settings: deleted records hidden,
  // soft seek on, dates read with the century window of appcore/format.h. `fs` must outlive this.
  explicit Globals(dbf::FileSystem& fs = dbf::FileSystem::defaultFileSystem());
  ~Globals();
  Globals(const Globals&) = delete;
  Globals& operator=(const Globals&) = delete;

  // The current company (start-up and company switch copy the chosen registry entry here).
  int16_t gnFirma = 0;
  int16_t gnMandant = 0;
  std::string gcFirma;
  // Where KND, KGR and LND live: the data directory if it holds KND.DBF, else the program directory.
  std::string gcKndPfad;
  // The company settings file FDT.INI of the data directory; null until a company is prepared.
  std::unique_ptr<os::INIFILE> goIni;
  // Document kinds in the order of the order window's box (SETGLOBALSAPP).
  std::vector<BelegArt> gaBelegArten;
  // Highlight text colours of the article and order windows: [0] black, [1] red (SETGLOBALSAPP).
  std::vector<Rgb> gaFarben;
  // Printer names in the order of GETPRINTERS.
  std::vector<std::string> gaDrucker;

  // The program directory: the table engine's default directory.
  const std::string& programDirectory() const { return programDir_; }
  void setProgramDirectory(std::string dir);
  // The current company's data directory: the table engine's search path.
  const std::string& dataDirectory() const { return dataDir_; }
  void setDataDirectory(std::string dir);

  dbf::Session& session() { return *session_; }
  const dbf::Session& session() const { return *session_; }

 private:
  void updateSession();
  std::string programDir_;
  std::string dataDir_;
  std::unique_ptr<dbf::Session> session_;
};

// Builds gaBelegArten (("Rechnung","R"), ("Gutschrift","G"), ("Angebot","A")) and gaFarben.
void SETGLOBALSAPP(Globals& g);

// --- program directory ----------------------------------------------------------------------

enum class PathStyle { kWindows, kPosix };

// The marker file whose presence fixes the program directory, and that directory.
inline constexpr std::string_view kWindowsMarkerFile = "C:\\WINAPPS\\ZENTOR\\LUMO.ICO";
inline constexpr std::string_view kWindowsMarkerDirectory = "C:\\WINAPPS\\ZENTOR\\";
inline constexpr std::string_view kPosixMarkerFile = "/opt/winapps/zentor/LUMO.ICO";
inline constexpr std::string_view kPosixMarkerDirectory = "/opt/winapps/zentor/";

// The program directory from the facts of the process:
//   1. the marker file exists: the marker's directory;
//   2. the executable is named in the command line: the text before its name, without a leading
//      double quote. Windows: the upper-cased command line is searched for "ZENTOR.EXE" where it
//      begins a file name (after a '\', '/', ':', '"' or at the start), so "C:\APPS\ZENTOR\ZENTOR.EXE"
//      gives "C:\APPS\ZENTOR\". POSIX: the first word of the command line (quoted when it holds
//      blanks) counts when its file name is "zentor" or "zentor.exe" in any case; its directory
//      keeps its spelling, and a relative one is taken against the working directory;
//   3. otherwise (also when the executable is named without a directory) the working directory.
// The result ends with the style's separator.
std::string findProgramDirectory(PathStyle style, bool markerExists, std::string_view commandLine,
                                 std::string_view workingDirectory);

// findProgramDirectory with this process's facts. On Linux the command line comes from
// /proc/self/cmdline; an executable found through PATH (no directory in the command line) is
// located through /proc/self/exe instead of falling back to the working directory.
std::string detectProgramDirectory();

}  // namespace zentor::app
