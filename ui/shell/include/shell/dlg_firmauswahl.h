// `DLGFIRMAUSWAHL`: the modal company selection of start-up and of the company switch.
//
// Controls (object name, property "id"): TXT103 the centred prompt, CMBFIRMA (100) the drop-down
// of the companies (no typing, kept in the given order, the first line selected), PSHOK (101) the
// default button, PSHCANCEL (102). Enter chooses the selected company; Esc, "&Abbruch" and the
// title-bar button cancel.
#pragma once

#include <QDialog>
#include <QString>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace zentor::ui {

inline constexpr int kIdCmbFirma = 100;
inline constexpr int kIdPshOk = 101;
inline constexpr int kIdPshCancel = 102;
inline constexpr int kIdTxtPrompt = 103;

// The layout: builds the controls, texts, caption, font and size (149 x 64 dialog units).
class DLGFIRMAUSWAHL_FORM : public QDialog {
  Q_OBJECT
 public:
  explicit DLGFIRMAUSWAHL_FORM(QWidget* owner);

  QLabel* TXTPROMPT = nullptr;
  QComboBox* CMBFIRMA = nullptr;
  QPushButton* PSHOK = nullptr;
  QPushButton* PSHCANCEL = nullptr;
};

class DLGFIRMAUSWAHL : public DLGFIRMAUSWAHL_FORM {
  Q_OBJECT
 public:
  // `lines`: the registry's display texts ("01 Muster GmbH") in registry order.
  DLGFIRMAUSWAHL(QWidget* owner, const std::vector<std::string>& lines);

  // The index of the chosen line after the dialog has been accepted; nothing after a cancel or
  // when the list was empty.
  std::optional<size_t> result() const { return result_; }

  // Runs the dialog modally over `owner` (none: no owner) and returns its result.
  static std::optional<size_t> choose(QWidget* owner, const std::vector<std::string>& lines);

 private:
  void PSHOK_CLICKED();
  void PSHCANCEL_CLICKED();

  std::optional<size_t> result_;
};

}  // namespace zentor::ui
