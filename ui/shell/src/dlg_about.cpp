#include "shell/dlg_about.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/app_icon.h"

namespace zentor::ui {

QString aboutVersionText(const QString& dataVersion) {
  return QStringLiteral("Version: V") + dataVersion + QLatin1Char('/') +
         QLatin1String(kProgramVersion) + QStringLiteral(" (Qt ") + QLatin1String(qVersion()) +
         QLatin1Char(')');
}

DLGABOUT::DLGABOUT(QWidget* owner, const QString& dataVersion,
                   std::function<bool(const QUrl&)> openUrl)
    : QDialog(owner) {
  setObjectName(QStringLiteral("DLGABOUT"));
  setWindowTitle(QString::fromUtf8("Lumo-Zentor: Über"));
  setWindowIcon(APPICON());

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("ICON100"));
  icon->setPixmap(APPICON().pixmap(32, 32));

  auto* product = new QLabel(QStringLiteral("Lumo-Zentor"), this);
  product->setObjectName(QStringLiteral("TXT101"));
  QFont bold;
  bold.setFamilies({QStringLiteral("Microsoft Sans Serif"), QStringLiteral("DejaVu Sans")});
  bold.setStyleHint(QFont::SansSerif);
  bold.setPointSize(10);
  bold.setBold(true);
  product->setFont(bold);

  auto* version = new QLabel(aboutVersionText(dataVersion), this);
  version->setObjectName(QStringLiteral("TXT103"));

  const QString url = QLatin1String(kMakerUrl);
  auto* link = new QLabel(QStringLiteral("<a href=\"%1\">zentor.example</a>").arg(url), this);
  link->setObjectName(QStringLiteral("LINK"));
  link->setTextFormat(Qt::RichText);
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  link->setFixedSize(150, 20);
  connect(link, &QLabel::linkActivated, this,
          [openUrl](const QString& href) { openUrl(QUrl(href)); });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Ok"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
  grid->addWidget(product, 0, 1);
  grid->addWidget(version, 1, 1);
  grid->addWidget(link, 2, 1);
  grid->addWidget(buttons, 3, 0, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace zentor::ui
