#include "plugin/dialogs/result_boxes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "plugin/dialogs/dialog_ids.h"
#include "plugin/dialogs/dialog_support.h"
#include "plugin/dialogs/language_table.h"
#include "plugin/dialogs/plugin_settings.h"

namespace pmk::ui {

ResultBox::ResultBox(QWidget* viewer, const QString& text, bool signature_found) : QDialog(viewer) {
  SetId(this, signature_found ? ids::kSignFoundDialog : ids::kResultsDialog);
  setWindowTitle(LanguageText(signature_found ? TextId::kSignFoundTitle : TextId::kResultTitle));
  auto* label = new QLabel(text, this);
  label->setObjectName(QStringLiteral("text"));
  label->setAlignment(Qt::AlignCenter);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  UseLargeBoldFont(label);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  if (signature_found) {
    auto* more = MakeButton(ids::kMoreInfo, LanguageText(TextId::kMoreInfoButton), this);
    connect(more, &QPushButton::clicked, this, [text] { OpenWebAddress(ShortenerUrlFor(text)); });
    buttons->addWidget(more);
  }
  auto* close = MakeButton(ids::kOk, LanguageText(TextId::kCloseButton), this);
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addLayout(buttons);
  ReserveTitleWidth(this);
  CentreOver(this, viewer);
}

void ShowResultsBox(QWidget* viewer, const QString& text) {
  ResultBox box(viewer, text, false);
  box.exec();
}

void ShowSignFoundBox(QWidget* viewer, const QString& signature) {
  ResultBox box(viewer, signature, true);
  box.exec();
}

}  // namespace pmk::ui
