#include "plugin/dialogs/sign_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cstring>

#include "engine/engine.h"
#include "plugin/dialogs/dialog_ids.h"
#include "plugin/dialogs/dialog_support.h"
#include "plugin/dialogs/language_table.h"
#include "plugin/dialogs/plugin_settings.h"

namespace pmk::ui {
namespace {

// Not one of the language file's numbered texts, which are fixed in number.
constexpr char kRobustSignText[] = "Robust signing (larger regions)";
constexpr char kWebLayerText[] = "Also survive resizing for the web";

bool IsSignatureCharacter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

QLabel* MakeLabel(int id, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  SetId(label, id);
  return label;
}

}  // namespace

QString SignaturePreview(const QString& typed) {
  // Counted in characters, so that a letter outside ASCII becomes one dash.
  const auto characters = typed.toUcs4().mid(0, kSignatureSymbolCount);
  QString preview;
  for (auto c : characters) {
    preview += IsSignatureCharacter(c) ? QChar(static_cast<char16_t>(c)) : QChar(u'-');
  }
  if (!preview.isEmpty() && (preview[0] == 'Q' || preview[0] == 'q')) preview[0] = '-';
  return preview;
}

SignDialog::SignDialog(QWidget* viewer, bool with_quality, SignPayloadBuffer& payload)
    : QDialog(viewer), payload_(payload) {
  payload_.fill(0);
  SetId(this, with_quality ? ids::kSignWithQualityDialog : ids::kSignDialog);
  setWindowTitle(LanguageText(TextId::kSignImageTitle));

  edit_ = new QLineEdit(this);
  SetId(edit_, ids::kSignEdit);
  preview_ = new QLineEdit(this);
  SetId(preview_, ids::kSignPreview);
  preview_->setReadOnly(true);
  preview_->setFocusPolicy(Qt::NoFocus);
  UseLargeBoldFont(edit_);
  UseLargeBoldFont(preview_);
  characters_left_ = MakeLabel(ids::kCharactersLeft, QString(), this);

  auto* group = new QGroupBox(LanguageText(TextId::kShortenerGroup), this);
  SetId(group, ids::kShortenerGroup);
  auto* open = MakeButton(ids::kShortenerOpen, LanguageText(TextId::kOpenButton), group);
  open->hide();
  auto* test = MakeButton(ids::kShortenerTest, LanguageText(TextId::kTestButton), group);
  auto* group_layout = new QHBoxLayout(group);
  group_layout->addWidget(open);
  group_layout->addWidget(test);

  auto* ok = MakeButton(ids::kOk, LanguageText(TextId::kOkButton), this);
  ok->setDefault(true);
  auto* cancel = MakeButton(ids::kCancel, LanguageText(TextId::kCancelButton), this);

  auto* grid = new QGridLayout;
  grid->addWidget(MakeLabel(ids::kFirstText, LanguageText(TextId::kTypeSignature), this), 0, 0, 1,
                  2);
  grid->addWidget(edit_, 1, 0, 1, 2);
  grid->addWidget(MakeLabel(ids::kSecondText, LanguageText(TextId::kSignatureAsUsed), this), 2, 0,
                  1, 2);
  grid->addWidget(preview_, 3, 0, 1, 2);
  grid->addWidget(MakeLabel(ids::kThirdText, LanguageText(TextId::kCharactersLeft), this), 4, 0);
  grid->addWidget(characters_left_, 4, 1);
  if (with_quality) {
    CurrentSettings().jpeg_quality = ReadJpegQuality();
    quality_slider_ = new QSlider(Qt::Horizontal, this);
    SetId(quality_slider_, ids::kQualitySlider);
    // Every step, by arrow key or by page, moves the quality by one.
    quality_slider_->setRange(20, 100);
    quality_slider_->setSingleStep(1);
    quality_slider_->setPageStep(1);
    quality_slider_->setValue(CurrentSettings().jpeg_quality);
    quality_value_ = MakeLabel(ids::kQualityValue, QString::number(quality_slider_->value()), this);
    auto* quality_row = new QHBoxLayout;
    quality_row->addWidget(MakeLabel(ids::kQualityLabel, LanguageText(TextId::kJpegQuality), this));
    quality_row->addWidget(quality_slider_, 1);
    quality_row->addWidget(quality_value_);
    quality_row->addWidget(new QLabel(QStringLiteral("%"), this));
    grid->addLayout(quality_row, 5, 0, 1, 2);
    connect(quality_slider_, &QSlider::valueChanged, this, [this](int value) {
      quality_value_->setText(QString::number(value));
      CurrentSettings().jpeg_quality = value;
    });
  }
  // Larger regions survive JPEG and rescaling better but change more pixels,
  // so the choice is the user's and is remembered.
  robust_ = new QCheckBox(QString::fromUtf8(kRobustSignText), this);
  SetId(robust_, ids::kRobustSign);
  robust_->setChecked(ReadRobustSign());
  grid->addWidget(robust_, 6, 0, 1, 2);
  // The web layer costs a second layer of change, so it is asked for too.
  web_layer_ = new QCheckBox(QString::fromUtf8(kWebLayerText), this);
  SetId(web_layer_, ids::kWebLayer);
  web_layer_->setChecked(ReadWebLayer());
  grid->addWidget(web_layer_, 7, 0, 1, 2);
  grid->addWidget(group, 8, 0, 1, 2);
  LayOutAboveButtons(this, grid, ok, cancel);
  ReserveTitleWidth(this);

  connect(edit_, &QLineEdit::textChanged, this, &SignDialog::Refresh);
  connect(ok, &QPushButton::clicked, this, &SignDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &SignDialog::reject);
  connect(test, &QPushButton::clicked, this,
          [this] { OpenWebAddress(ShortenerUrlFor(edit_->text().left(kSignatureSymbolCount))); });

  QString latest = ReadLatestSign();
  if (!latest.isEmpty() && (latest[0] == 'Q' || latest[0] == 'q')) latest[0] = '-';
  edit_->setText(latest);
  Refresh();
  CentreOver(this, viewer);
  edit_->setFocus();
}

void SignDialog::Refresh() {
  const QString preview = SignaturePreview(edit_->text());
  preview_->setText(preview);
  characters_left_->setText(QString::number(kSignatureSymbolCount - preview.size()));
}

void SignDialog::FillPayload() {
  payload_.fill(0);
  const PayloadText payload = FormatPayload(preview_->text().toStdString());
  std::memcpy(payload_.data(), payload.bytes.data(), kPayloadZeroFillSize);
}

void SignDialog::accept() {
  const QString preview = preview_->text();
  if (preview.size() > kSignatureSymbolCount) {
    ShowMessage(this, LanguageText(TextId::kSignatureTooLong), LanguageText(TextId::kErrorCaption));
    return;
  }
  if (preview.size() < kMinimumSignatureLength) {
    ShowMessage(this, LanguageText(TextId::kSignatureTooShort),
                LanguageText(TextId::kErrorCaption));
    return;
  }
  WriteLatestSign(preview);
  WriteJpegQuality(CurrentSettings().jpeg_quality);
  CurrentSettings().robust_sign = robust_->isChecked();
  WriteRobustSign(robust_->isChecked());
  CurrentSettings().web_layer = web_layer_->isChecked();
  WriteWebLayer(web_layer_->isChecked());
  FillPayload();
  done(ids::kOk);
}

void SignDialog::reject() {
  FillPayload();
  done(ids::kCancel);
}

int RunSignDialog(QWidget* viewer, bool with_quality, SignPayloadBuffer& payload) {
  SignDialog dialog(viewer, with_quality, payload);
  return dialog.exec();
}

}  // namespace pmk::ui
