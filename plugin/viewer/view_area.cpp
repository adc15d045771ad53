#include "plugin/viewer/view_area.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>

namespace pmk::ui {

ViewArea::ViewArea(const ImageRecord& back_buffer, const bool& busy, QWidget* parent)
    : QWidget(parent), back_buffer_(back_buffer), busy_(busy) {
  // The back buffer covers every pixel: nothing to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

void ViewArea::paintEvent(QPaintEvent* event) {
  if (!painted_) {
    painted_ = true;
    if (input_.first_paint) input_.first_paint();
  }
  // A batch job owns the pictures while it runs.
  if (busy_ || !back_buffer_.HasData()) return;
  const QImage back(back_buffer_.data(), back_buffer_.width(), back_buffer_.height(),
                    back_buffer_.stride(), QImage::Format_BGR888);
  QPainter painter(this);
  const QRect area = event->rect() & back.rect();
  painter.drawImage(area.topLeft(), back, area);
}

void ViewArea::mousePressEvent(QMouseEvent* event) {
  if (input_.press) input_.press(event);
}
void ViewArea::mouseMoveEvent(QMouseEvent* event) {
  if (input_.move) input_.move(event);
}
void ViewArea::mouseReleaseEvent(QMouseEvent* event) {
  if (input_.release) input_.release(event);
}
void ViewArea::mouseDoubleClickEvent(QMouseEvent* event) {
  if (input_.double_click) input_.double_click(event);
}
void ViewArea::wheelEvent(QWheelEvent* event) {
  if (input_.wheel) input_.wheel(event);
}
void ViewArea::leaveEvent(QEvent*) {
  if (input_.leave) input_.leave();
}
void ViewArea::resizeEvent(QResizeEvent* event) {
  if (input_.resized) input_.resized(event->oldSize(), event->size());
}

}  // namespace pmk::ui
