// `DLGABOUT`: the About dialog, modal, opened from the shell's and the data windows' help menu.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QUrl;

namespace zentor::ui {

// The program's own version, shown after the data version.
inline constexpr const char* kProgramVersion = "1.50";
// Where the About dialog's link leads.
inline constexpr const char* kMakerUrl = "https://zentor.example/";

// "Version: V" + data version + "/1.50 (Qt x.y.z)".
QString aboutVersionText(const QString& dataVersion);

class DLGABOUT : public QDialog {
  Q_OBJECT
 public:
  // `dataVersion`: key Version of section [ZENTOR] in the company's FDT.INI. `openUrl` opens the
  // link; it must not be empty.
  DLGABOUT(QWidget* owner, const QString& dataVersion, std::function<bool(const QUrl&)> openUrl);
};

}  // namespace zentor::ui
