#include "shell/mnu_empty_shell.h"

namespace zentor::ui {

namespace {

using K = MenuEntry::Kind;

MenuEntry popup(int id, const char* text, std::vector<MenuEntry> children,
                const char* statusText = "", const char* helpContext = "") {
  return {K::kPopup, id, text, "", statusText, helpContext, std::move(children)};
}

MenuEntry item(int id, const char* text, const char* command, const char* helpContext = "") {
  return {K::kCommand, id, text, command, "", helpContext, {}};
}

MenuEntry separator() { return {K::kSeparator, 0, "", "", "", "", {}}; }

std::vector<MenuEntry> build() {
  return {
      popup(3887, "&Basisdaten",
            {item(3888, "&Firmendaten", "MNUSHELL_FDT"),
             item(3889, "&Steuersätze", "MNUSHELL_MWS"),
             separator(),
             item(3891, "&Artikelgruppen", "MNUSHELL_AGR"),
             item(3892, "&Kundengruppen", "MNUSHELL_KGR"),
             item(3893, "&Textbausteine", "MNUSHELL_TXT"),
             item(3894, "&Länder", "MNUSHELL_LND"),
             separator(),
             item(3896, "&Programmende", "MNUSHELL_CLOSE", "File_Exit")},
            "Diverse Stammdaten", "Datei"),
      popup(3897, "&Artikel",
            {item(3898, "&Verwalten", "MNUSHELL_ART"),
             separator(),
             item(3900, "&Stammdatenliste", "MNUSHELL_ART_STAMMDATEN"),
             item(3901, "&Umsatzliste", "MNUSHELL_ART_UMSATZ")}),
      popup(3902, "&Kunden",
            {item(3903, "&Verwalten", "MNUSHELL_KND"),
             separator(),
             item(3905, "&Stammdatenliste", "MNUSHELL_KND_STAMMDATEN"),
             item(3906, "&Umsatzliste", "MNUSHELL_KND_UMSATZ"),
             item(3907, "&Etikettendruck", "MNUSHELL_KND_ETIKETTEN"),
             item(3908, "&Mailingliste", "MNUSHELL_KND_MAILING")}),
      popup(3909, "A&uftrag",
            {item(3910, "&Verwalten", "MNUSHELL_AKO_VERWALTEN"),
             item(3911, "&Drucken", "MNUSHELL_AKO_DRUCKEN")}),
      popup(3912, "Umsatz&listen",
            {popup(3913, "&verdichtet",
                   {item(3914, "nach &Artikelgruppen", "MNUSHELL_VUMSAGR"),
                    item(3915, "nach &Kundengruppen", "MNUSHELL_VUMSKGR"),
                    item(3916, "nach A&rtikel", "MNUSHELL_VUMSART"),
                    item(3917, "nach Kun&den", "MNUSHELL_VUMSKND"),
                    item(3918, "nach A&uftrag", "MNUSHELL_VUMSAKO")}),
             popup(3919, "&detailiert",
                   {item(3920, "nach &Artikelgruppen", "MNUSHELL_DUMSAGR"),
                    item(3921, "nach &Kundengruppen", "MNUSHELL_DUMSKGR"),
                    item(3922, "nach A&rtikel", "MNUSHELL_DUMSART"),
                    item(3923, "nach Kun&den", "MNUSHELL_DUMSKND"),
                    item(3924, "nach A&uftrag", "MNUSHELL_DUMSAKO")}),
             separator(),
             item(3926, "&Umsatzexport CSV", "MNUSHELL_EXPORT")}),
      popup(3927, "&Sonstiges",
            {item(3928, "&Firmenwechsel", "MNUSHELL_FIRMENWECHSEL"),
             item(3929, "Fibu&überleitung", "MNUSHELL_FIBU"),
             separator(),
             item(3931, "&Datenbestände", "DLGBESTAND", "Bestand"),
             item(3932, "&Reindex", "DLGREINDEX", "Reindex"),
             separator(),
             item(3934, "Abgerechnete Aufträge &löschen", "MNUSHELL_AKO_DELETE"),
             item(3935, "Kunden importieren", "MNUSHELL_IMPORT"),
             item(3936, "Daten rücksetzen", "MNUSHELL_RESET")},
            "", "Sonstiges"),
      popup(3937, "&Hilfe",
            {item(3938, "&Doku anzeigen", "HELPCONTENTS"),
             separator(),
             item(3940, "&Über", "DLGABOUT")},
            "", "Help"),
  };
}

}  // namespace

const std::vector<MenuEntry>& MNUEMPTYSHELL() {
  static const std::vector<MenuEntry> menu = build();
  return menu;
}

const std::vector<Accelerator>& MNUEMPTYSHELL_ACCELERATOR() {
  static const std::vector<Accelerator> table = {
      {QKeySequence(Qt::ALT | Qt::Key_F4), kCmdProgrammende},
      {QKeySequence(Qt::Key_F1), kCmdDokuAnzeigen},
  };
  return table;
}

const std::vector<std::vector<ToolButton>>& shellToolBarGroups() {
  static const std::vector<std::vector<ToolButton>> groups = {
      {{3896, "Programmende", QStyle::SP_DialogCloseButton}},
      {{3891, "Artikelgruppen", QStyle::SP_FileDialogListView},
       {3892, "Kundengruppen", QStyle::SP_FileDialogDetailedView},
       {3893, "Textbausteine", QStyle::SP_FileDialogContentsView},
       {3894, "Länder", QStyle::SP_DriveNetIcon}},
      {{3898, "Artikel verwalten", QStyle::SP_FileIcon},
       {3903, "Kunden verwalten", QStyle::SP_DirHomeIcon}},
      {{3910, "Aufträge verwalten", QStyle::SP_FileDialogNewFolder},
       {3911, "Aufträge drucken", QStyle::SP_DialogSaveButton}},
      {{3928, "Firmenwechsel", QStyle::SP_BrowserReload}},
      {{3938, "Doku anzeigen", QStyle::SP_DialogHelpButton}},
  };
  return groups;
}

}  // namespace zentor::ui
