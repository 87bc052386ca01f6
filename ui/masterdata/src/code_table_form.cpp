#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "masterdata/code_tables.h"
#include "shell/app_icon.h"

namespace zentor::ui {

CodeTableForm::CodeTableForm(const logic::Context& ctx, app::MessageService& messages, STANDARDSHELLWINDOW* shell,
                             std::unique_ptr<data::DBSTANDARD> table, QWidget* parent)
    : MYDATAWINDOW(messages, shell, parent), ctx_(ctx), db_(std::move(table)) {
  if (db_ && db_->ok()) attachTable(&db_->table());
  setWindowIcon(APPICON());
  grid_ = new QGridLayout;
}

void CodeTableForm::buildLayout(bool listOnTop, int widthDlu, int heightDlu) {
  QBoxLayout* outer = listOnTop ? static_cast<QBoxLayout*>(new QVBoxLayout(this))
                                : static_cast<QBoxLayout*>(new QHBoxLayout(this));
  outer->addWidget(list_, 1);
  auto* side = new QVBoxLayout;
  side->addLayout(grid_);
  side->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(pshOk_);
  buttons->addWidget(pshCancel_);
  side->addLayout(buttons);
  outer->addLayout(side, listOnTop ? 0 : 1);
  // Dialog units of the classic resource: about 1.75 pixels across and 2 down at 10 points.
  resize(widthDlu * 7 / 4, heightDlu * 2);
  connectBrowseControls(list_);
  routeKeys();
  // In browse state the inputs show the current record.
  LINKFIELDS();
}

toolkit::SingleLineEdit* CodeTableForm::addEdit(int labelId, const QString& label, int id, const QString& name,
                                                toolkit::SingleLineEdit::Kind kind, int limit,
                                                const QString& picture) {
  auto* l = new QLabel(label, this);
  l->setProperty("id", labelId);
  auto* e = new toolkit::SingleLineEdit(name, kind, this);
  e->setProperty("id", id);
  e->setTextLimit(limit);
  if (!picture.isEmpty()) e->setPicture(picture);
  l->setBuddy(e);
  grid_->addWidget(l, row_, 0);
  grid_->addWidget(e, row_++, 1);
  inputs_.push_back(e);
  return e;
}

toolkit::CheckBox* CodeTableForm::addCheck(int id, const QString& name, const QString& text) {
  auto* c = new toolkit::CheckBox(name, text, this);
  c->setProperty("id", id);
  grid_->addWidget(c, row_++, 0, 1, 2);
  inputs_.push_back(c);
  return c;
}

toolkit::MultiLineEdit* CodeTableForm::addMemo(int id, const QString& name, int limit) {
  auto* m = new toolkit::MultiLineEdit(name, this);
  m->setProperty("id", id);
  m->setTextLimit(limit);
  grid_->addWidget(m, row_++, 0, 1, 2);
  inputs_.push_back(m);
  return m;
}

void CodeTableForm::addButtons(int okId, int cancelId, const QString& cancelText) {
  pshOk_ = new QPushButton(QStringLiteral("&Speichern"), this);
  pshOk_->setObjectName(QStringLiteral("PSHOK"));
  pshOk_->setProperty("id", okId);
  pshOk_->setDefault(true);
  pshCancel_ = new QPushButton(cancelText, this);
  pshCancel_->setObjectName(QStringLiteral("PSHCANCEL"));
  pshCancel_->setProperty("id", cancelId);
  connect(pshOk_, &QPushButton::clicked, this, [this] { PSHOK(); });
  connect(pshCancel_, &QPushButton::clicked, this, [this] { PSHCANCEL(); });
}

void CodeTableForm::setList(int id, const QString& name) {
  list_ = new MYDATALISTVIEW(name, this);
  list_->setProperty("id", id);
}

void CodeTableForm::POSTINIT() {
  if (dbf::Table* t = table(); t && !tag_.empty()) t->selectTag(tag_);
  DOINIT();
  for (const toolkit::ListColumn& c : columns_) list_->addColumn(c);
  list_->attachTable(table());
  list_->setFocus();
  registerWithShell();
}

void CodeTableForm::ENABLEFIELDS() {
  for (QWidget* w : inputs_) w->setEnabled(true);
  list_->setEnabled(false);
  DISABLEMENUITEMS();
  pshOk_->setEnabled(true);
  pshCancel_->setEnabled(true);
  inputs_.front()->setFocus();
}

void CodeTableForm::DISABLEFIELDS() {
  for (QWidget* w : inputs_) w->setEnabled(false);
  list_->setEnabled(true);
  ENABLEMENUITEMS();
  pshOk_->setEnabled(false);
  pshCancel_->setEnabled(false);
}

void CodeTableForm::LINKFIELDS() {
  for (QWidget* w : inputs_) linkField(w, fieldPositionOf(w));
}

void CodeTableForm::UNLINKFIELDS() {
  for (QWidget* w : inputs_) unlinkField(w);
}

bool CodeTableForm::refuse(const char* text, QWidget* focus) {
  messages().error(text);
  focus->setFocus();
  return false;
}

bool CodeTableForm::positionForSave(QWidget* appendFocus, QWidget* lockFocus) {
  if (!db_ || !db_->ok()) return refuse("Fehler beim Einfügen eines Datensatzes", appendFocus);
  dbf::Table& t = db_->table();
  if (nRecNo == -1) {
    if (!db_->APPENDRECYCLE()) return refuse("Fehler beim Einfügen eines Datensatzes", appendFocus);
    return true;
  }
  if (!t.go(static_cast<uint32_t>(nRecNo)).ok() || !t.lock()) {
    return refuse("Datensatz kann nicht gesperrt werden", lockFocus);
  }
  return true;
}

void CodeTableForm::finishSave() {
  dbf::Table& t = db_->table();
  nRecNo = 0;
  t.commit();
  // Held no longer than the write: another station may edit the record right away.
  t.unlock();
  DISABLEFIELDS();
  LINKFIELDS();
  list_->refresh();
}

void CodeTableForm::closeTable() {
  if (db_) db_->close();
}

}  // namespace zentor::ui
