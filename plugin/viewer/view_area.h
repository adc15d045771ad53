// The part of the viewer between toolbar and status bar: paints the back
// buffer and hands mouse input to the viewer.
#pragma once

#include <QWidget>
#include <functional>

#include "image/image_record.h"

namespace pmk::ui {

class ViewArea : public QWidget {
 public:
  struct Input {
    std::function<void(QMouseEvent*)> press, move, release, double_click;
    std::function<void(QWheelEvent*)> wheel;
    std::function<void()> leave;
    // The area's size changed from `before` (invalid before the first layout).
    std::function<void(QSize before, QSize now)> resized;
    // Once, just before the area is first painted: from then on it has the
    // size the window really got on screen.
    std::function<void()> first_paint;
  };

  ViewArea(const ImageRecord& back_buffer, const bool& busy, QWidget* parent);
  void SetInput(Input input) { input_ = std::move(input); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  const ImageRecord& back_buffer_;
  const bool& busy_;
  Input input_;
  bool painted_ = false;
};

}  // namespace pmk::ui
