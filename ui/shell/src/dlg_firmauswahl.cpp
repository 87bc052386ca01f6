#include "shell/dlg_firmauswahl.h"

#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/app_icon.h"

namespace zentor::ui {

namespace {

void name(QWidget* w, const char* objectName, int id) {
  w->setObjectName(QLatin1String(objectName));
  w->setProperty("id", id);
}

}  // namespace

DLGFIRMAUSWAHL_FORM::DLGFIRMAUSWAHL_FORM(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("DLGFIRMAUSWAHL"));
  setWindowTitle(QStringLiteral("Lumo-Zentor: Firmenauswahl"));
  setWindowIcon(APPICON());
  setModal(true);

  // The dialog's font; machines without it get the closest sans-serif face.
  QFont font;
  font.setFamilies({QStringLiteral("Microsoft Sans Serif"), QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(10);
  setFont(font);

  TXTPROMPT = new QLabel(QString::fromUtf8("Bitte wählen Sie die gewünschte Firma"), this);
  name(TXTPROMPT, "TXTPROMPT", kIdTxtPrompt);
  TXTPROMPT->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

  CMBFIRMA = new QComboBox(this);
  name(CMBFIRMA, "CMBFIRMA", kIdCmbFirma);
  CMBFIRMA->setEditable(false);
  CMBFIRMA->setInsertPolicy(QComboBox::NoInsert);

  PSHOK = new QPushButton(QStringLiteral("&Ok"), this);
  name(PSHOK, "PSHOK", kIdPshOk);
  PSHOK->setDefault(true);
  PSHOK->setAutoDefault(true);

  PSHCANCEL = new QPushButton(QStringLiteral("&Abbruch"), this);
  name(PSHCANCEL, "PSHCANCEL", kIdPshCancel);
  PSHCANCEL->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(PSHOK);
  buttons->addWidget(PSHCANCEL);
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TXTPROMPT);
  layout->addWidget(CMBFIRMA);
  layout->addStretch(1);
  layout->addLayout(buttons);

  // Dialog units: a quarter of the average character width across, an eighth of the line
  // height down. The layout may still ask for more where the font is wider than planned.
  const QFontMetrics fm(font);
  const QSize planned(149 * fm.averageCharWidth() / 4, 64 * fm.height() / 8);
  resize(planned.expandedTo(sizeHint()));
  setMinimumSize(size());
}

DLGFIRMAUSWAHL::DLGFIRMAUSWAHL(QWidget* owner, const std::vector<std::string>& lines)
    : DLGFIRMAUSWAHL_FORM(owner) {
  for (const std::string& line : lines) CMBFIRMA->addItem(QString::fromStdString(line));
  CMBFIRMA->setCurrentIndex(lines.empty() ? -1 : 0);
  PSHOK->setEnabled(!lines.empty());
  connect(PSHOK, &QPushButton::clicked, this, &DLGFIRMAUSWAHL::PSHOK_CLICKED);
  connect(PSHCANCEL, &QPushButton::clicked, this, &DLGFIRMAUSWAHL::PSHCANCEL_CLICKED);
  CMBFIRMA->setFocus();
}

void DLGFIRMAUSWAHL::PSHOK_CLICKED() {
  const int index = CMBFIRMA->currentIndex();
  if (index < 0) return;
  result_ = static_cast<size_t>(index);
  accept();
}

void DLGFIRMAUSWAHL::PSHCANCEL_CLICKED() {
  result_.reset();
  reject();
}

std::optional<size_t> DLGFIRMAUSWAHL::choose(QWidget* owner, const std::vector<std::string>& lines) {
  DLGFIRMAUSWAHL dialog(owner, lines);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.result();
}

}  // namespace zentor::ui
