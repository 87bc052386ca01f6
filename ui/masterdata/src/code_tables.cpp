#include "masterdata/code_tables.h"

#include "logic/rules.h"
#include "shell/standard_shell_window.h"

namespace zentor::ui {
namespace {

using Kind = toolkit::SingleLineEdit::Kind;

std::string textOf(const toolkit::SingleLineEdit* e) { return e->value().toStdString(); }

bool blank(const QString& s) { return s.trimmed().isEmpty(); }

// Upper case character by character, so that "ß" keeps its one position in the field.
QString upper(const QString& s) {
  QString out = s;
  for (QChar& c : out) c = c.toUpper();
  return out;
}

// A typed code as the index holds it: cut or padded with blanks to the field's width.
std::string padded(const QString& s, int width) {
  QString t = s.left(width);
  while (t.size() < width) t += QLatin1Char(' ');
  return t.toStdString();
}

int number(const toolkit::SingleLineEdit* e) { return static_cast<int>(e->number()); }

}  // namespace

// ---- article groups ----------------------------------------------------------------------------

DTAAGR_FORM::DTAAGR_FORM(const logic::Context& ctx, app::MessageService& messages, STANDARDSHELLWINDOW* shell,
                         std::unique_ptr<data::DBAGR> table, QWidget* parent)
    : CodeTableForm(ctx, messages, shell, table ? std::move(table) : std::make_unique<data::DBAGR>(ctx.env), parent) {
  setWindowTitle(QStringLiteral("Lumo-Zentor: Artikelgruppen"));
  AGRNR = addEdit(100, QStringLiteral("Gruppe:"), 101, QStringLiteral("AGRNR"), Kind::kNumber, 2, QStringLiteral("99"));
  AGRNR->setAlignment(Qt::AlignRight);
  TXT = addEdit(102, QStringLiteral("Text:"), 103, QStringLiteral("TXT"), Kind::kText, 20);
  addButtons(104, 105, QStringLiteral("&Abbrechen"));
  setList(106, QStringLiteral("DLVAGR"));
  tag_ = "AGRNR";
  columns_ = {{"AGRNR", QStringLiteral("Gruppe *"), 6, Qt::AlignRight}, {"TXT", QStringLiteral("Text"), 17}};
  buildLayout(false, 248, 159);
}

void DTAAGR::PSHNEW() {
  DONEW();
  AGRNR->setFocus();
}

void DTAAGR::PSHEDIT() {
  DOEDIT();
  if (nRecNo <= 0) return;
  TXT->setFocus();
  AGRNR->setEnabled(false);
}

void DTAAGR::PSHDELETE() {
  if (dbf::Table* t = table(); t && !t->eof() && logic::CHKDELETEAGRNR(ctx_, number(AGRNR))) {
    messages().error("Diese Artikelgruppe kann nicht gelöscht werden (ART)");
    return;
  }
  DODELETE();
  list_->refresh();
}

void DTAAGR::PSHOK() {
  const int nr = number(AGRNR);
  if (nr < 0) return (void)refuse("Die Artikelgruppe muß von 0-99 liegen", AGRNR);
  if (blank(TXT->value())) return (void)refuse("Der Text darf nicht leer sein", TXT);
  if (logic::CHKEXISTAGRNR(ctx_, nr, nRecNo)) return (void)refuse("Artikelgruppe bereits vorhanden", AGRNR);
  if (!positionForSave(AGRNR, TXT)) return;
  dbf::Table& t = db_->table();
  t.put("AGRNR", nr);
  t.put("TXT", textOf(TXT));
  finishSave();
}

void DTAAGR::CLEARFIELDS() {
  AGRNR->setValue(QString());
  TXT->setValue(QString());
}

// ---- customer groups ---------------------------------------------------------------------------

DTAKGR_FORM::DTAKGR_FORM(const logic::Context& ctx, app::MessageService& messages, STANDARDSHELLWINDOW* shell,
                         std::unique_ptr<data::DBKGR> table, QWidget* parent)
    : CodeTableForm(ctx, messages, shell, table ? std::move(table) : std::make_unique<data::DBKGR>(ctx.env), parent) {
  setWindowTitle(QStringLiteral("Lumo-Zentor: Kundengruppen"));
  KGRNR = addEdit(100, QStringLiteral("Gruppe:"), 101, QStringLiteral("KGRNR"), Kind::kNumber, 2, QStringLiteral("99"));
  KGRNR->setAlignment(Qt::AlignRight);
  TXT = addEdit(102, QStringLiteral("Text:"), 103, QStringLiteral("TXT"), Kind::kText, 20);
  addButtons(104, 105, QStringLiteral("&Abbrechen"));
  setList(106, QStringLiteral("DLVKGR"));
  tag_ = "KGRNR";
  columns_ = {{"KGRNR", QStringLiteral("Gruppe *"), 6, Qt::AlignRight}, {"TXT", QStringLiteral("Text"), 17}};
  buildLayout(false, 248, 159);
}

void DTAKGR::PSHNEW() {
  DONEW();
  KGRNR->setFocus();
}

void DTAKGR::PSHEDIT() {
  DOEDIT();
  if (nRecNo <= 0) return;
  TXT->setFocus();
  KGRNR->setEnabled(false);
}

void DTAKGR::PSHDELETE() {
  if (dbf::Table* t = table(); t && !t->eof() && logic::CHKDELETEKGRNR(ctx_, number(KGRNR))) {
    messages().error("Diese Kundengruppe kann nicht gelöscht werden (KND)");
    return;
  }
  DODELETE();
  list_->refresh();
}

void DTAKGR::PSHOK() {
  const int nr = number(KGRNR);
  if (nr < 0) return (void)refuse("Die Kundengruppe muß von 0-99 liegen", KGRNR);
  if (blank(TXT->value())) return (void)refuse("Der Text darf nicht leer sein", TXT);
  if (logic::CHKEXISTKGRNR(ctx_, nr, nRecNo)) return (void)refuse("Kundengruppe bereits vorhanden", KGRNR);
  if (!positionForSave(KGRNR, TXT)) return;
  dbf::Table& t = db_->table();
  t.put("KGRNR", nr);
  t.put("TXT", textOf(TXT));
  finishSave();
}

void DTAKGR::CLEARFIELDS() {
  KGRNR->setValue(QString());
  TXT->setValue(QString());
}

// ---- countries ---------------------------------------------------------------------------------

DTALND_FORM::DTALND_FORM(const logic::Context& ctx, app::MessageService& messages, STANDARDSHELLWINDOW* shell,
                         std::unique_ptr<data::DBLND> table, QWidget* parent)
    : CodeTableForm(ctx, messages, shell, table ? std::move(table) : std::make_unique<data::DBLND>(ctx.env), parent) {
  setWindowTitle(QStringLiteral("Lumo-Zentor: Länder"));
  LAND = addEdit(100, QStringLiteral("Länderkürzel:"), 101, QStringLiteral("LAND"), Kind::kText, 3, QStringLiteral("!!!"));
  TXT = addEdit(102, QStringLiteral("Bezeichnung:"), 103, QStringLiteral("TXT"), Kind::kText, 25,
                QString(25, QLatin1Char('!')));
  addButtons(104, 105, QStringLiteral("&Abbrechen"));
  setList(106, QStringLiteral("DLVLND"));
  tag_ = "LAND";
  columns_ = {{"LAND", QStringLiteral("Land *"), 5}, {"TXT", QStringLiteral("Bezeichnung"), 22}};
  buildLayout(false, 272, 159);
}

void DTALND::PSHNEW() {
  DONEW();
  LAND->setFocus();
}

void DTALND::PSHEDIT() {
  DOEDIT();
  if (nRecNo <= 0) return;
  TXT->setFocus();
  LAND->setEnabled(false);
}

void DTALND::PSHDELETE() {
  DODELETE();
  list_->refresh();
}

void DTALND::PSHOK() {
  const QString code = upper(LAND->value());
  if (blank(code)) return (void)refuse("Das Länderkürzel darf nicht leer sein", LAND);
  if (logic::CHKEXISTLAND(ctx_, padded(code, 3), nRecNo)) return (void)refuse("Länderkürzel bereits vorhanden", LAND);
  if (!positionForSave(LAND, TXT)) return;
  dbf::Table& t = db_->table();
  t.put("LAND", code.toStdString());
  t.put("TXT", upper(TXT->value()).toStdString());
  finishSave();
}

void DTALND::CLEARFIELDS() {
  LAND->setValue(QString());
  TXT->setValue(QString());
}

// ---- VAT rates ---------------------------------------------------------------------------------

DTAMWS_FORM::DTAMWS_FORM(const logic::Context& ctx, app::MessageService& messages, STANDARDSHELLWINDOW* shell,
                         std::unique_ptr<data::DBMWS> table, QWidget* parent)
    : CodeTableForm(ctx, messages, shell, table ? std::move(table) : std::make_unique<data::DBMWS>(ctx.env), parent) {
  setWindowTitle(QStringLiteral("Lumo-Zentor: Steuersätze"));
  MWST = addEdit(100, QStringLiteral("Steuersatz:"), 101, QStringLiteral("MWST"), Kind::kNumber, 2, QStringLiteral("99"));
  FIBU = addEdit(102, QStringLiteral("Erlöskonto:"), 103, QStringLiteral("FIBU"), Kind::kNumber, 5,
                 QStringLiteral("99999"));
  DEFAULT = addCheck(104, QStringLiteral("DEFAULT"), QStringLiteral("Defaultsteuersatz?"));
  AKTIV = addCheck(105, QStringLiteral("AKTIV"), QStringLiteral("Verwendbar (Aktiv)?"));
  addButtons(106, 107, QStringLiteral("&Abbrechen"));
  setList(108, QStringLiteral("DLVMWS"));
  tag_ = "MWST";
  columns_ = {{"MWST", QStringLiteral("Mwst *"), 5, Qt::AlignRight},
              {"FIBU", QStringLiteral("Erlöskonto"), 7, Qt::AlignRight},
              {"DEFAULT", QStringLiteral("Default"), 6, Qt::AlignHCenter},
              {"AKTIV", QStringLiteral("Aktiv"), 5, Qt::AlignHCenter}};
  buildLayout(false, 249, 159);
}

void DTAMWS::PSHNEW() {
  DONEW();
  MWST->setFocus();
}

void DTAMWS::PSHEDIT() {
  DOEDIT();
  if (nRecNo <= 0) return;
  FIBU->setFocus();
  MWST->setEnabled(false);
}

void DTAMWS::PSHDELETE() {
  if (dbf::Table* t = table(); t && !t->eof() && logic::CHKDELETEMWST(ctx_, number(MWST))) {
    messages().error("Dieser Steuersatz kann nicht gelöscht werden (ART)");
    return;
  }
  DODELETE();
  list_->refresh();
}

void DTAMWS::PSHOK() {
  const int rate = number(MWST);
  if (rate < 0) return (void)refuse("Der Steuersatz muß von 0-99 liegen", MWST);
  if (blank(FIBU->value())) return (void)refuse("Das Erlöskonto muß von 0-99999 liegen", FIBU);
  if (logic::CHKEXISTMWST(ctx_, rate, nRecNo)) return (void)refuse("Steuersatz bereits vorhanden", MWST);
  if (!positionForSave(MWST, FIBU)) return;
  dbf::Table& t = db_->table();
  t.put("MWST", rate);
  t.put("FIBU", number(FIBU));
  t.put("DEFAULT", dbf::Value::logical(DEFAULT->value()));
  t.put("AKTIV", dbf::Value::logical(AKTIV->value()));
  finishSave();
}

void DTAMWS::CLEARFIELDS() {
  MWST->setNumber(0);
  FIBU->setNumber(0);
  DEFAULT->setValue(false);
  AKTIV->setValue(false);
}

// ---- text blocks -------------------------------------------------------------------------------

DTATXT_FORM::DTATXT_FORM(const logic::Context& ctx, app::MessageService& messages, STANDARDSHELLWINDOW* shell,
                         std::unique_ptr<data::DBTXT> table, QWidget* parent)
    : CodeTableForm(ctx, messages, shell, table ? std::move(table) : std::make_unique<data::DBTXT>(ctx.env), parent) {
  setWindowTitle(QStringLiteral("Lumo-Zentor: Textbausteine"));
  TXTNR = addEdit(101, QStringLiteral("Kürzel"), 102, QStringLiteral("TXTNR"), Kind::kText, 5, QStringLiteral("!!!!!"));
  TXT = addEdit(103, QStringLiteral("Text"), 104, QStringLiteral("TXT"), Kind::kText, 74);
  ZUSATZ = addMemo(105, QStringLiteral("ZUSATZ"), 300);
  addButtons(106, 107, QStringLiteral("Abbrechen"));
  setList(100, QStringLiteral("DLVTXT"));
  columns_ = {{"TXTNR", QStringLiteral("Kürzel*"), 5}, {"TXT", QStringLiteral("Text"), 42}};
  buildLayout(true, 279, 216);
}

void DTATXT::PSHNEW() {
  DONEW();
  TXTNR->setFocus();
}

void DTATXT::PSHEDIT() {
  DOEDIT();
  if (nRecNo <= 0) return;
  TXT->setFocus();
  TXTNR->setEnabled(false);
}

void DTATXT::PSHDELETE() {
  DODELETE();
  list_->refresh();
}

void DTATXT::PSHOK() {
  if (blank(TXT->value())) return (void)refuse("Der Text darf nicht leer sein", TXT);
  const std::string code = padded(TXTNR->value(), 5);
  if (logic::CHKEXISTTXTNR(ctx_, code, nRecNo)) return (void)refuse("Kürzel bereits vorhanden", TXTNR);
  if (!positionForSave(TXTNR, TXT)) return;
  dbf::Table& t = db_->table();
  t.put("TXTNR", code);
  t.put("TXT", textOf(TXT));
  t.put("ZUSATZ", ZUSATZ->value().toStdString());
  finishSave();
}

void DTATXT::CLEARFIELDS() {
  TXTNR->setValue(QStringLiteral("     "));
  TXT->setValue(QString());
  ZUSATZ->setValue(QString());
}

// ---- menu commands -----------------------------------------------------------------------------

namespace {

template <class Window>
void openWindow(STANDARDSHELLWINDOW& shell, const logic::Context& ctx, app::MessageService& messages) {
  auto* w = new Window(ctx, messages, &shell);
  shell.addMdiChild(w);
  w->POSTINIT();
}

}  // namespace

void registerCodeTableCommands(STANDARDSHELLWINDOW& shell, const logic::Context& ctx,
                               app::MessageService& messages) {
  STANDARDSHELLWINDOW* s = &shell;
  app::MessageService* m = &messages;
  shell.setCommandHandler("MNUSHELL_AGR", [s, ctx, m] { openWindow<DTAAGR>(*s, ctx, *m); });
  shell.setCommandHandler("MNUSHELL_KGR", [s, ctx, m] { openWindow<DTAKGR>(*s, ctx, *m); });
  shell.setCommandHandler("MNUSHELL_LND", [s, ctx, m] { openWindow<DTALND>(*s, ctx, *m); });
  shell.setCommandHandler("MNUSHELL_MWS", [s, ctx, m] { openWindow<DTAMWS>(*s, ctx, *m); });
  shell.setCommandHandler("MNUSHELL_TXT", [s, ctx, m] { openWindow<DTATXT>(*s, ctx, *m); });
}

}  // namespace zentor::ui
