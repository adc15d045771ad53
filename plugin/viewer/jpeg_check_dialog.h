// Dialog 162: does the signature of the viewer's picture survive saving it as
// JPEG at the quality chosen on a slider?
#pragma once

#include <QDialog>
#include <cstdint>
#include <filesystem>
#include <mutex>

#include "image/image_record.h"

class QLabel;
class QSlider;

namespace pmk::ui {

class JpegCheckDialog : public QDialog {
 public:
  // `quality` is the plug-in's JPEG quality in memory: a value below 20 opens
  // at 90, and every checked value is stored there, so later JPEG saves use
  // the quality chosen last. Writes orig.tif and runs the first check before
  // it returns.
  JpegCheckDialog(const ImageRecord& picture, std::int32_t& quality,
                  std::filesystem::path work_folder, QWidget* parent = nullptr);

  // A slider notification with one of the codes of jpeg_slider_codes.h and
  // the thumb position it carries. The slider's own signals arrive here.
  void HandleSliderCode(int code, int thumb);

  // 0 when the signature survives, else the last check's nonzero result.
  std::uint8_t verdict() const { return state_; }

 private:
  void RunCheck();
  void OnSliderAction(int action);

  const ImageRecord& picture_;
  std::int32_t& quality_;
  const std::filesystem::path work_folder_;
  std::uint8_t state_ = 0;
  // Every check runs holding it, so a notification delivered while a check
  // is under way cannot start a second one on the same work files.
  std::mutex check_lock_;
  QSlider* slider_;
  QLabel* number_;
  QLabel* verdict_label_;
};

// Opens dialog 162 over the viewer for its current picture, with the
// settings' JPEG quality and the work folder in the user's cache folder.
void RunJpegCheckDialog(QWidget* viewer, const ImageRecord& picture);

}  // namespace pmk::ui
