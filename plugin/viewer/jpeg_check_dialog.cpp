#include "plugin/viewer/jpeg_check_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/user_folders.h"
#include "plugin/batch/jpeg_slider_codes.h"
#include "plugin/batch/jpeg_survival_check.h"
#include "plugin/dialogs/dialog_ids.h"
#include "plugin/dialogs/dialog_support.h"
#include "plugin/dialogs/language_table.h"
#include "plugin/dialogs/plugin_settings.h"

namespace pmk::ui {

namespace {

// Found in green, not found in red; anything that kept the check from giving
// an answer (no work files, no memory) in black.
QColor VerdictColour(std::uint8_t state) {
  if (state == 0) return QColor(10, 150, 10);
  if (state == 1) return QColor(255, 10, 10);
  return QColor(0, 0, 0);
}

// The wait cursor for the length of a scope.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

JpegCheckDialog::JpegCheckDialog(const ImageRecord& picture, std::int32_t& quality,
                                 std::filesystem::path work_folder, QWidget* parent)
    : QDialog(parent),
      picture_(picture),
      quality_(quality),
      work_folder_(std::move(work_folder)),
      slider_(new QSlider(Qt::Horizontal, this)),
      number_(new QLabel(this)),
      verdict_label_(new QLabel(this)) {
  SetId(this, ids::kJpegCheckDialog);
  setWindowTitle(QStringLiteral("Test sign stability under JPEG compression "));
  if (quality_ < kMinJpegCheckQuality) quality_ = kFallbackJpegCheckQuality;
  quality_ = std::min(quality_, kMaxJpegCheckQuality);

  auto* caption = new QLabel(LanguageText(TextId::kJpegQuality), this);
  SetId(caption, ids::kJpegQualityCaption);
  SetId(slider_, ids::kQualitySlider);
  slider_->setRange(kMinJpegCheckQuality, kMaxJpegCheckQuality);
  slider_->setSingleStep(1);
  slider_->setPageStep(1);
  slider_->setValue(quality_);
  SetId(number_, ids::kJpegQualityNumber);
  number_->setText(QString::number(quality_));
  SetId(verdict_label_, ids::kJpegVerdict);
  auto* close = MakeButton(ids::kOk, QStringLiteral("Close"), this);
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* quality_row = new QHBoxLayout;
  quality_row->addWidget(caption);
  quality_row->addWidget(slider_, 1);
  quality_row->addWidget(number_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(quality_row);
  layout->addWidget(verdict_label_);
  layout->addWidget(close, 0, Qt::AlignRight);
  ReserveTitleWidth(this);

  connect(slider_, &QSlider::actionTriggered, this, &JpegCheckDialog::OnSliderAction);
  connect(slider_, &QSlider::sliderMoved, this,
          [this](int thumb) { HandleSliderCode(kSliderDragging, thumb); });
  connect(slider_, &QSlider::sliderReleased, this,
          [this] { HandleSliderCode(kSliderReleased, slider_->sliderPosition()); });

  {
    WaitCursor wait;
    SaveLosslessCopy(picture_, work_folder_);
  }
  std::lock_guard lock(check_lock_);
  RunCheck();
}

void JpegCheckDialog::OnSliderAction(int action) {
  // The slider has moved its position already but not its value: the step
  // is measured from the value, and the value set here is the one it keeps.
  const int value = slider_->value();
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      HandleSliderCode(kSliderLineDown, value);
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      HandleSliderCode(kSliderLineUp, value);
      break;
    case QAbstractSlider::SliderPageStepSub:
      HandleSliderCode(kSliderPageDown, value);
      break;
    case QAbstractSlider::SliderPageStepAdd:
      HandleSliderCode(kSliderPageUp, value);
      break;
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum:
      HandleSliderCode(kSliderReleased, slider_->sliderPosition());
      break;
    case QAbstractSlider::SliderMove:
      // Dragging is reported by sliderMoved; the wheel moves one step.
      if (!slider_->isSliderDown() && slider_->sliderPosition() != value) {
        HandleSliderCode(slider_->sliderPosition() < value ? kSliderLineDown : kSliderLineUp,
                         value);
      }
      break;
    default:
      break;
  }
}

void JpegCheckDialog::HandleSliderCode(int code, int thumb) {
  const std::optional<int> value = JpegSliderValue(code, slider_->value(), thumb);
  if (!value) return;
  slider_->setValue(*value);
  number_->setText(QString::number(*value));
  std::lock_guard lock(check_lock_);
  if (JpegSliderChecks(code, *value, quality_)) {
    quality_ = *value;
    RunCheck();
  }
}

void JpegCheckDialog::RunCheck() {
  {
    WaitCursor wait;
    state_ = CheckJpegSurvival(picture_, quality_, work_folder_, CurrentSettings().cores_in_use);
  }
  verdict_label_->setText(
      LanguageText(state_ == 0 ? TextId::kSignPreserved : TextId::kSignUndetectable));
  QPalette palette = verdict_label_->palette();
  palette.setColor(QPalette::WindowText, VerdictColour(state_));
  verdict_label_->setPalette(palette);
  verdict_label_->repaint();
}

void RunJpegCheckDialog(QWidget* viewer, const ImageRecord& picture) {
  JpegCheckDialog dialog(picture, CurrentSettings().jpeg_quality,
                         JpegCheckWorkFolder(platform::CacheFolder()), viewer);
  dialog.exec();
}

}  // namespace pmk::ui
