// The company selection dialog: its controls, the first entry chosen by Enter, cancel by
// "&Abbruch", Esc and the title-bar button.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "shell/dlg_firmauswahl.h"
#include "support/qt_app.h"

namespace zentor::ui {
namespace {

const std::vector<std::string> kLines = {"02 Zeta AG", "01 Muster GmbH", "10 Äpfel & Birnen"};

template <class T>
T* control(QWidget& dialog, const char* name, int id) {
  T* w = dialog.findChild<T*>(QLatin1String(name));
  EXPECT_NE(w, nullptr) << name;
  if (w) {
    EXPECT_EQ(w->property("id").toInt(), id) << name;
  }
  return w;
}

TEST(DlgFirmauswahl, ControlsTextsAndTheFirstEntrySelected) {
  testing::ensureApplication();
  DLGFIRMAUSWAHL dialog(nullptr, kLines);
  EXPECT_TRUE(dialog.windowTitle().endsWith(QStringLiteral("Firmenauswahl")));
  EXPECT_TRUE(dialog.windowTitle().startsWith(QStringLiteral("Lumo-Zentor")));
  EXPECT_TRUE(dialog.isModal());
  EXPECT_EQ(dialog.font().families().value(0), QStringLiteral("Microsoft Sans Serif"));
  EXPECT_EQ(dialog.font().pointSize(), 10);

  auto* text = control<QLabel>(dialog, "TXTPROMPT", 103);
  auto* list = control<QComboBox>(dialog, "CMBFIRMA", 100);
  auto* ok = control<QPushButton>(dialog, "PSHOK", 101);
  auto* cancel = control<QPushButton>(dialog, "PSHCANCEL", 102);
  ASSERT_TRUE(text && list && ok && cancel);
  EXPECT_EQ(text->text(), QString::fromUtf8("Bitte wählen Sie die gewünschte Firma"));
  EXPECT_TRUE(text->alignment() & Qt::AlignHCenter);
  EXPECT_FALSE(list->isEditable());
  ASSERT_EQ(list->count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(list->itemText(i).toStdString(), kLines[i]);  // not sorted
  EXPECT_EQ(list->currentIndex(), 0);
  EXPECT_EQ(ok->text(), QStringLiteral("&Ok"));
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(cancel->text(), QStringLiteral("&Abbruch"));
}

// Runs the dialog modally and lets `act` work on it once it shows.
std::optional<size_t> runWith(const std::function<void(DLGFIRMAUSWAHL&)>& act) {
  testing::ensureApplication();
  DLGFIRMAUSWAHL dialog(nullptr, kLines);
  QTimer::singleShot(0, &dialog, [&] { act(dialog); });
  const int rc = dialog.exec();
  EXPECT_EQ(rc == QDialog::Accepted, dialog.result().has_value());
  return dialog.result();
}

TEST(DlgFirmauswahl, EnterChoosesTheSelectedEntry) {
  EXPECT_EQ(runWith([](DLGFIRMAUSWAHL& d) {
              QTest::keyClick(d.findChild<QComboBox*>(QStringLiteral("CMBFIRMA")), Qt::Key_Return);
            }),
            std::optional<size_t>(0));
  EXPECT_EQ(runWith([](DLGFIRMAUSWAHL& d) {
              auto* list = d.findChild<QComboBox*>(QStringLiteral("CMBFIRMA"));
              list->setCurrentIndex(2);
              QTest::keyClick(list, Qt::Key_Enter);
            }),
            std::optional<size_t>(2));
}

TEST(DlgFirmauswahl, AbbruchEscAndClosingCancel) {
  const std::function<void(DLGFIRMAUSWAHL&)> cancels[] = {
      [](DLGFIRMAUSWAHL& d) { d.findChild<QPushButton*>(QStringLiteral("PSHCANCEL"))->click(); },
      [](DLGFIRMAUSWAHL& d) { QTest::keyClick(&d, Qt::Key_Escape); },
      [](DLGFIRMAUSWAHL& d) { d.close(); },
  };
  for (const auto& act : cancels) EXPECT_EQ(runWith(act), std::nullopt);
}

TEST(DlgFirmauswahl, AnEmptyListCannotBeConfirmed) {
  testing::ensureApplication();
  DLGFIRMAUSWAHL dialog(nullptr, {});
  auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("PSHOK"));
  ASSERT_NE(ok, nullptr);
  EXPECT_FALSE(ok->isEnabled());
  EXPECT_EQ(dialog.result(), std::nullopt);
}

}  // namespace
}  // namespace zentor::ui
