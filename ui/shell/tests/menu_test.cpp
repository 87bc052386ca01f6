// The main menu, its accelerators, the toolbar, and which items the installation removes.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <gtest/gtest.h>

#include "support/shell_fixture.h"

namespace zentor::ui {
namespace {

using testing::describeMenu;
using testing::describeToolBar;
using testing::ShellRig;

const std::vector<std::string> kFullMenu = {
    "3887 &Basisdaten >",
    "  3888 &Firmendaten MNUSHELL_FDT",
    "  3889 &Steuersätze MNUSHELL_MWS",
    "  ----",
    "  3891 &Artikelgruppen MNUSHELL_AGR",
    "  3892 &Kundengruppen MNUSHELL_KGR",
    "  3893 &Textbausteine MNUSHELL_TXT",
    "  3894 &Länder MNUSHELL_LND",
    "  ----",
    "  3896 &Programmende MNUSHELL_CLOSE [Alt+F4]",
    "3897 &Artikel >",
    "  3898 &Verwalten MNUSHELL_ART",
    "  ----",
    "  3900 &Stammdatenliste MNUSHELL_ART_STAMMDATEN",
    "  3901 &Umsatzliste MNUSHELL_ART_UMSATZ",
    "3902 &Kunden >",
    "  3903 &Verwalten MNUSHELL_KND",
    "  ----",
    "  3905 &Stammdatenliste MNUSHELL_KND_STAMMDATEN",
    "  3906 &Umsatzliste MNUSHELL_KND_UMSATZ",
    "  3907 &Etikettendruck MNUSHELL_KND_ETIKETTEN",
    "  3908 &Mailingliste MNUSHELL_KND_MAILING",
    "3909 A&uftrag >",
    "  3910 &Verwalten MNUSHELL_AKO_VERWALTEN",
    "  3911 &Drucken MNUSHELL_AKO_DRUCKEN",
    "3912 Umsatz&listen >",
    "  3913 &verdichtet >",
    "    3914 nach &Artikelgruppen MNUSHELL_VUMSAGR",
    "    3915 nach &Kundengruppen MNUSHELL_VUMSKGR",
    "    3916 nach A&rtikel MNUSHELL_VUMSART",
    "    3917 nach Kun&den MNUSHELL_VUMSKND",
    "    3918 nach A&uftrag MNUSHELL_VUMSAKO",
    "  3919 &detailiert >",
    "    3920 nach &Artikelgruppen MNUSHELL_DUMSAGR",
    "    3921 nach &Kundengruppen MNUSHELL_DUMSKGR",
    "    3922 nach A&rtikel MNUSHELL_DUMSART",
    "    3923 nach Kun&den MNUSHELL_DUMSKND",
    "    3924 nach A&uftrag MNUSHELL_DUMSAKO",
    "  ----",
    "  3926 &Umsatzexport CSV MNUSHELL_EXPORT",
    "3927 &Sonstiges >",
    "  3928 &Firmenwechsel MNUSHELL_FIRMENWECHSEL",
    "  3929 Fibu&überleitung MNUSHELL_FIBU",
    "  ----",
    "  3931 &Datenbestände DLGBESTAND",
    "  3932 &Reindex DLGREINDEX",
    "  ----",
    "  3934 Abgerechnete Aufträge &löschen MNUSHELL_AKO_DELETE",
    "  3935 Kunden importieren MNUSHELL_IMPORT",
    "  3936 Daten rücksetzen MNUSHELL_RESET",
    "3937 &Hilfe >",
    "  3938 &Doku anzeigen HELPCONTENTS [F1]",
    "  ----",
    "  3940 &Über DLGABOUT",
};

TEST(ShellMenu, FullInstallationShowsEveryItemInPlace) {
  ShellRig rig;
  rig.program.touch("DOIMPORT");
  rig.program.touch("DORESET");
  STANDARDSHELLWINDOW& shell = rig.open();
  EXPECT_EQ(describeMenu(shell.menuBar()->actions()), kFullMenu);
  EXPECT_EQ(shell.windowTitle(), QStringLiteral("Lumo-Zentor: Muster GmbH"));
}

TEST(ShellMenu, OnlyTwoAcceleratorsExist) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  std::vector<std::string> keys;
  for (QAction* a : shell.findChildren<QAction*>()) {
    if (a->shortcut().isEmpty()) continue;
    keys.push_back(std::to_string(a->property("id").toInt()) + " " +
                   a->shortcut().toString(QKeySequence::PortableText).toStdString());
  }
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::string>{"3896 Alt+F4", "3938 F1"}));
}

TEST(ShellMenu, StatusTextsAndHelpContexts) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  const std::map<int, std::string> helpContexts = {{3887, "Datei"},  {3896, "File_Exit"},
                                                    {3927, "Sonstiges"}, {3931, "Bestand"},
                                                    {3932, "Reindex"}, {3937, "Help"}};
  for (QAction* a : shell.findChildren<QAction*>()) {
    const int id = a->property("id").toInt();
    if (id == 0) continue;
    SCOPED_TRACE(id);
    EXPECT_EQ(a->statusTip().toStdString(), id == 3887 ? "Diverse Stammdaten" : "");
    const auto it = helpContexts.find(id);
    EXPECT_EQ(a->property("helpContext").toString().toStdString(),
              it == helpContexts.end() ? "" : it->second);
  }
}

TEST(ShellMenu, ToolbarGroupsWithTwoSeparatorsEach) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  const std::vector<std::string> expected = {
      "----", "----", "3896 Programmende",
      "----", "----", "3891 Artikelgruppen", "3892 Kundengruppen", "3893 Textbausteine", "3894 Länder",
      "----", "----", "3898 Artikel verwalten", "3903 Kunden verwalten",
      "----", "----", "3910 Aufträge verwalten", "3911 Aufträge drucken",
      "----", "----", "3928 Firmenwechsel",
      "----", "----", "3938 Doku anzeigen",
  };
  EXPECT_EQ(describeToolBar(shell.shellToolBar()), expected);
  for (QAction* a : shell.shellToolBar()->actions()) {
    if (a->isSeparator()) continue;
    EXPECT_FALSE(a->icon().isNull()) << a->property("id").toInt();
  }
}

TEST(ShellMenu, InstallationDecidesWhichItemsExist) {
  enum Where { kNowhere, kProgram, kData };
  struct Case {
    const char* name;
    bool singleCompany;
    Where doImport;
    Where doReset;
    bool has3928, has3935, has3936;
  } const cases[] = {
      {"no markers", false, kNowhere, kNowhere, true, false, false},
      {"DOIMPORT in the program directory", false, kProgram, kNowhere, true, true, false},
      {"DORESET in the data directory", false, kNowhere, kData, true, false, true},
      {"single company with both markers", true, kProgram, kData, false, true, true},
      {"single company without markers", true, kNowhere, kNowhere, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ShellRig rig;
    rig.setup.singleCompany = c.singleCompany;
    if (c.doImport != kNowhere) (c.doImport == kProgram ? rig.program : rig.data).touch("DOIMPORT");
    if (c.doReset != kNowhere) (c.doReset == kProgram ? rig.program : rig.data).touch("DORESET");
    STANDARDSHELLWINDOW& shell = rig.open();

    std::vector<std::string> sonstiges = describeMenu(shell.mainMenus()[5]->actions());
    std::vector<std::string> expected;
    if (c.has3928) expected.push_back("3928 &Firmenwechsel MNUSHELL_FIRMENWECHSEL");
    expected.insert(expected.end(), {"3929 Fibu&überleitung MNUSHELL_FIBU", "----",
                                     "3931 &Datenbestände DLGBESTAND", "3932 &Reindex DLGREINDEX",
                                     "----", "3934 Abgerechnete Aufträge &löschen MNUSHELL_AKO_DELETE"});
    if (c.has3935) expected.push_back("3935 Kunden importieren MNUSHELL_IMPORT");
    if (c.has3936) expected.push_back("3936 Daten rücksetzen MNUSHELL_RESET");
    EXPECT_EQ(sonstiges, expected);
    EXPECT_EQ(shell.menuCommand(kCmdFirmenwechsel) != nullptr, c.has3928);

    // Without the company switch its toolbar group goes too, separators included.
    const auto bar = describeToolBar(shell.shellToolBar());
    EXPECT_EQ(std::count(bar.begin(), bar.end(), "3928 Firmenwechsel"), c.has3928 ? 1 : 0);
    EXPECT_EQ(std::count(bar.begin(), bar.end(), "----"), c.has3928 ? 12 : 10);
  }
}

}  // namespace
}  // namespace zentor::ui
