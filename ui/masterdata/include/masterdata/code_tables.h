// The code-table windows: article groups `DTAAGR`, customer groups `DTAKGR`, countries `DTALND`,
// VAT rates `DTAMWS` and text blocks `DTATXT`, each a layout class (`..._FORM`) and a behaviour
// class. Their keys are typed in by the user; saving checks the input in a fixed order and
// stops at the first failure with an error box and the focus on the offending control.
//
// A window works on the table object handed in, or opens its own (shared). Build it, put it
// where it is shown (an MDI child), then call POSTINIT, which selects the order, shows the first
// record and registers the window with the shell.
#pragma once

#include <QPushButton>
#include <memory>
#include <vector>

#include "appcore/messages.h"
#include "data/dbstandard.h"
#include "data/tables.h"
#include "logic/context.h"
#include "shell/mydatawindow.h"
#include "toolkit/check_box.h"
#include "toolkit/multi_line_edit.h"
#include "toolkit/single_line_edit.h"

class QGridLayout;

namespace zentor::ui {

// What the five layouts share: the table object, the inputs in their order, the two buttons
// and the list, and the hooks that treat all inputs alike.
class CodeTableForm : public MYDATAWINDOW {
  Q_OBJECT
 public:
  CodeTableForm(const logic::Context& ctx, app::MessageService& messages, STANDARDSHELLWINDOW* shell,
                std::unique_ptr<data::DBSTANDARD> table, QWidget* parent);

  virtual void POSTINIT();

  void ENABLEFIELDS() override;
  void DISABLEFIELDS() override;
  void LINKFIELDS() override;
  void UNLINKFIELDS() override;

  MYDATALISTVIEW* list() const { return list_; }
  QPushButton* okButton() const { return pshOk_; }
  QPushButton* cancelButton() const { return pshCancel_; }
  const std::vector<QWidget*>& inputs() const { return inputs_; }

 protected:
  // Lays the window out: the list on the left (or across the top), the inputs in a grid.
  void buildLayout(bool listOnTop, int widthDlu, int heightDlu);
  toolkit::SingleLineEdit* addEdit(int labelId, const QString& label, int id, const QString& name,
                                   toolkit::SingleLineEdit::Kind kind, int limit, const QString& picture = {});
  toolkit::CheckBox* addCheck(int id, const QString& name, const QString& text);
  toolkit::MultiLineEdit* addMemo(int id, const QString& name, int limit);
  void addButtons(int okId, int cancelId, const QString& cancelText);
  void setList(int id, const QString& name);

  // Save helpers: an error box, the focus on `focus`, false.
  bool refuse(const char* text, QWidget* focus);
  // Step "new: append with recycling / edit: go and lock", with the messages of a failure.
  bool positionForSave(QWidget* appendFocus, QWidget* lockFocus);
  // The end of a save: browse state, record written, lock released, list refreshed.
  void finishSave();
  void closeTable() override;

  logic::Context ctx_;
  std::unique_ptr<data::DBSTANDARD> db_;
  std::vector<QWidget*> inputs_;
  QPushButton* pshOk_ = nullptr;
  QPushButton* pshCancel_ = nullptr;
  MYDATALISTVIEW* list_ = nullptr;
  QGridLayout* grid_ = nullptr;
  int row_ = 0;
  std::string tag_;  // the order POSTINIT selects; empty keeps the first tag
  std::vector<toolkit::ListColumn> columns_;
};

class DTAAGR_FORM : public CodeTableForm {
  Q_OBJECT
 public:
  DTAAGR_FORM(const logic::Context& ctx, app::MessageService& messages, STANDARDSHELLWINDOW* shell,
              std::unique_ptr<data::DBAGR> table = nullptr, QWidget* parent = nullptr);
  toolkit::SingleLineEdit* AGRNR;
  toolkit::SingleLineEdit* TXT;
};
class DTAAGR : public DTAAGR_FORM {
  Q_OBJECT
 public:
  using DTAAGR_FORM::DTAAGR_FORM;
  void PSHNEW() override;
  void PSHEDIT() override;
  void PSHDELETE() override;
  void PSHOK() override;
  void CLEARFIELDS() override;
};

class DTAKGR_FORM : public CodeTableForm {
  Q_OBJECT
 public:
  DTAKGR_FORM(const logic::Context& ctx, app::MessageService& messages, STANDARDSHELLWINDOW* shell,
              std::unique_ptr<data::DBKGR> table = nullptr, QWidget* parent = nullptr);
  toolkit::SingleLineEdit* KGRNR;
  toolkit::SingleLineEdit* TXT;
};
class DTAKGR : public DTAKGR_FORM {
  Q_OBJECT
 public:
  using DTAKGR_FORM::DTAKGR_FORM;
  void PSHNEW() override;
  void PSHEDIT() override;
  void PSHDELETE() override;
  void PSHOK() override;
  void CLEARFIELDS() override;
};

class DTALND_FORM : public CodeTableForm {
  Q_OBJECT
 public:
  DTALND_FORM(const logic::Context& ctx, app::MessageService& messages, STANDARDSHELLWINDOW* shell,
              std::unique_ptr<data::DBLND> table = nullptr, QWidget* parent = nullptr);
  toolkit::SingleLineEdit* LAND;
  toolkit::SingleLineEdit* TXT;
};
class DTALND : public DTALND_FORM {
  Q_OBJECT
 public:
  using DTALND_FORM::DTALND_FORM;
  void PSHNEW() override;
  void PSHEDIT() override;
  void PSHDELETE() override;
  void PSHOK() override;
  void CLEARFIELDS() override;
};

class DTAMWS_FORM : public CodeTableForm {
  Q_OBJECT
 public:
  DTAMWS_FORM(const logic::Context& ctx, app::MessageService& messages, STANDARDSHELLWINDOW* shell,
              std::unique_ptr<data::DBMWS> table = nullptr, QWidget* parent = nullptr);
  toolkit::SingleLineEdit* MWST;
  toolkit::SingleLineEdit* FIBU;
  toolkit::CheckBox* DEFAULT;
  toolkit::CheckBox* AKTIV;
};
class DTAMWS : public DTAMWS_FORM {
  Q_OBJECT
 public:
  using DTAMWS_FORM::DTAMWS_FORM;
  void PSHNEW() override;
  void PSHEDIT() override;
  void PSHDELETE() override;
  void PSHOK() override;
  void CLEARFIELDS() override;
};

class DTATXT_FORM : public CodeTableForm {
  Q_OBJECT
 public:
  DTATXT_FORM(const logic::Context& ctx, app::MessageService& messages, STANDARDSHELLWINDOW* shell,
              std::unique_ptr<data::DBTXT> table = nullptr, QWidget* parent = nullptr);
  toolkit::SingleLineEdit* TXTNR;
  toolkit::SingleLineEdit* TXT;
  toolkit::MultiLineEdit* ZUSATZ;
};
class DTATXT : public DTATXT_FORM {
  Q_OBJECT
 public:
  using DTATXT_FORM::DTATXT_FORM;
  void PSHNEW() override;
  void PSHEDIT() override;
  void PSHDELETE() override;
  void PSHOK() override;
  void CLEARFIELDS() override;
};

// Registers MNUSHELL_AGR, MNUSHELL_KGR, MNUSHELL_LND, MNUSHELL_MWS and MNUSHELL_TXT on `shell`:
// each opens a new window of its kind as an MDI child over the company of `ctx`. `messages`
// must outlive the shell.
void registerCodeTableCommands(STANDARDSHELLWINDOW& shell, const logic::Context& ctx,
                               app::MessageService& messages);

}  // namespace zentor::ui
