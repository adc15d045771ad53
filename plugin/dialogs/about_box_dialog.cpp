#include "plugin/dialogs/about_box_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "plugin/dialogs/dialog_ids.h"
#include "plugin/dialogs/dialog_support.h"
#include "plugin/dialogs/language_table.h"
#include "plugin/dialogs/plugin_settings.h"

namespace pmk::ui {
namespace {

constexpr char kProductAddress[] = "www.tavelwood.com/pictomarker";

QPushButton* MakeAddressItem(int id, const QString& address, QWidget* parent,
                             const AboutBox::OpenAddress& open_address) {
  auto* item = MakeButton(id, address, parent);
  item->setFlat(true);
  // Shown as the links they are.
  item->setStyleSheet(QStringLiteral(
      "QPushButton { color: palette(link); text-decoration: underline; border: none; }"));
  item->setCursor(Qt::PointingHandCursor);
  // Enter closes the box whichever item has the focus.
  item->setAutoDefault(false);
  QObject::connect(item, &QPushButton::clicked, parent, [address, open_address] {
    if (open_address) {
      open_address(QString::asprintf("http://%s", address.toUtf8().constData()).toStdString());
    }
  });
  return item;
}

}  // namespace

QString AboutMessage() {
  return QStringLiteral(
             "Pictomarker plug-in %1\n\n"
             "Hides a short signature in a photograph and finds it again,\n"
             "also after JPEG compression or rescaling.\n\n"
             "Tavelwood")
      .arg(QStringLiteral(PMK_VERSION));
}

QString ProductAddress() {
  return QString::fromLatin1(kProductAddress);
}

QString ShortenerAddress() {
  QString address = ShortenerUrl();
  for (const QLatin1String scheme : {QLatin1String("https://"), QLatin1String("http://")}) {
    if (address.startsWith(scheme, Qt::CaseInsensitive)) address.remove(0, scheme.size());
  }
  return address;
}

AboutBox::AboutBox(QWidget* owner, OpenAddress open_address) : QDialog(owner) {
  SetId(this, ids::kAboutDialog);
  setWindowTitle(LanguageText(TextId::kAboutCaption));
  setModal(true);

  auto* text = new QLabel(AboutMessage(), this);
  SetId(text, ids::kAboutText);
  auto* product = MakeAddressItem(ids::kProductAddress, ProductAddress(), this, open_address);
  auto* shortener = MakeAddressItem(ids::kShortenerAddress, ShortenerAddress(), this, open_address);
  auto* ok = MakeButton(ids::kOk, LanguageText(TextId::kOkButton), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(product, 0, Qt::AlignLeft);
  layout->addWidget(shortener, 0, Qt::AlignLeft);
  layout->addLayout(buttons);
  ReserveTitleWidth(this);
  ok->setFocus();
}

void AboutBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    accept();
    return;
  }
  QDialog::mousePressEvent(event);
}

}  // namespace pmk::ui
