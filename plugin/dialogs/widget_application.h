// The application object that the plug-in's windows need. An editor built on
// Qt already has one; otherwise the plug-in makes its own for one call.
#pragma once

#include <memory>

class QApplication;

namespace pmk::ui {

class WidgetApplication {
 public:
  WidgetApplication();
  ~WidgetApplication();
  WidgetApplication(const WidgetApplication&) = delete;
  WidgetApplication& operator=(const WidgetApplication&) = delete;

  // False when no window can be shown: there is no display to open, or the
  // process runs an application without widgets.
  bool ready() const { return ready_; }

 private:
  std::unique_ptr<QApplication> own_;
  bool ready_ = false;
};

}  // namespace pmk::ui
