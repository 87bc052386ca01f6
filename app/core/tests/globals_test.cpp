#include "appcore/globals.h"

#include <gtest/gtest.h>

namespace zentor::app {
namespace {

struct DirCase {
  PathStyle style;
  bool marker;
  const char* commandLine;
  const char* cwd;
  const char* expected;
};

class ProgramDirectoryTest : public ::testing::TestWithParam<DirCase> {};

TEST_P(ProgramDirectoryTest, FollowsMarkerCommandLineWorkingDirectory) {
  const auto& c = GetParam();
  EXPECT_EQ(findProgramDirectory(c.style, c.marker, c.commandLine, c.cwd), c.expected) << c.commandLine;
}

constexpr auto W = PathStyle::kWindows;
constexpr auto P = PathStyle::kPosix;

INSTANTIATE_TEST_SUITE_P(
    Windows, ProgramDirectoryTest,
    ::testing::Values(DirCase{W, false, "\"C:\\APPS\\ZENTOR\\ZENTOR.EXE\"", "D:\\", "C:\\APPS\\ZENTOR\\"},
                      DirCase{W, false, "c:\\apps\\zentor\\zentor.exe", "D:\\", "c:\\apps\\zentor\\"},  // case kept
                      DirCase{W, false, "\"C:\\Program Files\\Zentor\\Zentor.exe\" ", "D:\\", "C:\\Program Files\\Zentor\\"},
                      DirCase{W, true, "\"C:\\APPS\\ZENTOR\\ZENTOR.EXE\"", "D:\\", "C:\\WINAPPS\\ZENTOR\\"},  // marker wins
                      DirCase{W, false, "C:\\TOOLS\\LAUNCH.EXE", "D:\\DATEN", "D:\\DATEN\\"},  // not our program
                      DirCase{W, false, "ZENTOR.EXE", "D:\\DATEN\\", "D:\\DATEN\\"},          // no directory given
                      DirCase{W, false, "C:\\X\\MYZENTOR.EXE", "D:\\", "D:\\"},               // another program
                      DirCase{W, false, "", "D:\\", "D:\\"}));

INSTANTIATE_TEST_SUITE_P(
    Posix, ProgramDirectoryTest,
    ::testing::Values(DirCase{P, false, "/opt/Lumo/zentor", "/home/u", "/opt/Lumo/"},
                      DirCase{P, false, "\"/opt/Mein Programm/zentor\" -x", "/home/u", "/opt/Mein Programm/"},
                      DirCase{P, false, "/opt/z/ZENTOR.EXE", "/home/u", "/opt/z/"},
                      DirCase{P, false, "./bin/zentor", "/home/u", "/home/u/./bin/"},  // relative: against cwd
                      DirCase{P, false, "zentor", "/home/u", "/home/u/"},              // found through PATH
                      DirCase{P, false, "/usr/bin/gdb /opt/z/zentor", "/home/u", "/home/u/"},  // only argv[0] counts
                      DirCase{P, false, "/opt/z/zentorctl", "/srv/daten", "/srv/daten/"},
                      DirCase{P, true, "/opt/z/zentor", "/home/u", "/opt/winapps/zentor/"}));

TEST(Globals, SetGlobalsAppBuildsDocumentKindsAndColours) {
  Globals g;
  SETGLOBALSAPP(g);
  EXPECT_EQ(g.gaBelegArten,
            (std::vector<BelegArt>{{"Rechnung", "R"}, {"Gutschrift", "G"}, {"Angebot", "A"}}));
  ASSERT_EQ(g.gaFarben.size(), 2u);
  EXPECT_EQ(g.gaFarben[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(g.gaFarben[1], (Rgb{255, 0, 0}));
}

TEST(Globals, DirectoriesEndWithSeparatorAndDriveTheSession) {
  Globals g;
  EXPECT_TRUE(g.session().deletedHidden());
  EXPECT_TRUE(g.session().softSeek());
  EXPECT_EQ(g.session().exprSettings().centuryWindowStart, 1930);
  g.setProgramDirectory("/opt/zentor");
  g.setDataDirectory("/opt/zentor/FIRMA01/");
  EXPECT_EQ(g.programDirectory(), "/opt/zentor/");
  EXPECT_EQ(g.dataDirectory(), "/opt/zentor/FIRMA01/");
  EXPECT_EQ(g.session().defaultDirectory(), "/opt/zentor/");
  EXPECT_EQ(g.session().searchPath(), std::vector<std::string>{"/opt/zentor/FIRMA01/"});
  g.setDataDirectory("/opt/zentor/FIRMA02");  // a company switch
  EXPECT_EQ(g.session().searchPath(), std::vector<std::string>{"/opt/zentor/FIRMA02/"});
}

}  // namespace
}  // namespace zentor::app
