// The viewer: the one top-level window of the plug-in. It shows the editor's
// picture with zoom and panning, and every plug-in function starts from it.
//
// It takes the picture from the host's buffer when it is told to and hands
// it back when it is destroyed.
#pragma once

#include <QMainWindow>
#include <QString>
#include <map>
#include <vector>

#include "image/image_record.h"
#include "plugin/batch/batch_job.h"
#include "plugin/batch/batch_worker.h"
#include "plugin/viewer/highlight_frames.h"
#include "plugin/viewer/view_math.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;

namespace pmk::ui {

class ViewArea;

// The folder of the plug-in library: the language file and the README (the
// product's description page) are installed beside it.
QString PluginFolder();

inline constexpr const char* kViewerTitle = "Tavelwood - Pictomarker plug-in";

class ViewerWindow : public QMainWindow {
 public:
  // `host_picture` receives the viewer's picture when the window goes.
  explicit ViewerWindow(ImageRecord& host_picture, QWidget* parent = nullptr);
  ~ViewerWindow() override;

  // Copies the host's picture in and fits it to the view; before the window
  // is first painted, the fit waits for the size it gets on screen.
  void TakeImage();
  // Rebuilds the display copy from the picture and redraws.
  void RedrawFromImage();
  // Runs one command of the table.
  void RunCommand(int id);

  // For tests and tools.
  const ViewState& view() const { return view_; }
  const ImageRecord& image() const { return image_; }
  ImageRecord& image() { return image_; }
  QString ZoomBoxText() const;
  QAction* CommandAction(int id) const;
  QComboBox* zoom_box() const { return zoom_box_; }
  ViewArea* view_area() const { return view_area_; }
  QMenu* popup_menu() const { return menu_; }
  bool dragging() const { return dragging_; }
  // The view is the fit and follows the window's size, until the user zooms
  // or moves the picture.
  bool fit_follows_window() const { return fit_follows_window_; }
  // The boxes of the regions the latest signing chose.
  const std::vector<AreaBox>& signed_areas() const { return signed_areas_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildToolbar();
  void BuildMenu();
  void ConnectViewInput();
  void Redraw();
  // Maps the picture into the back buffer at the view area's size.
  void DrawBackBuffer();
  void OnFirstPaint();
  void OnViewResized(QSize before, QSize now);
  // The user changed the view: it keeps its zoom and place from now on.
  void SetUserView(const ViewState& view);
  void ShowZoom();
  bool HasImage() const { return image_.HasData(); }
  ViewSize ViewAreaSize() const;

  void ZoomToFit();
  // The fit without drawing; false where there is nothing to fit or the
  // window is not on screen yet.
  bool FitToView();
  void ApplyPreset(int index);
  void ApplyTypedZoom();
  void MoveCentre(double dx, double dy);
  void ShowPopupMenu();

  // Commands that run the engine or open dialogs.
  bool CheckImageForEngine();
  void SignImage();
  void DetectSign();
  void ShowOptions();
  void ShowAbout();
  void OpenProductPage();
  void OpenShortener();
  void RunBatch(BatchKind kind);
  void CheckJpegSurvival();
  // Around a batch job: the commands that change or read the picture are off
  // and the picture is kept aside, to be put back when the job ends.
  void BeginBatch();
  void EndBatch();

  ImageRecord& host_picture_;
  ImageRecord image_;    // what the commands work on
  ImageRecord display_;  // the image ready for drawing
  ImageRecord back_;     // the view as drawn
  std::vector<AreaBox> signed_areas_;
  ViewState view_;
  bool dragging_ = false;
  bool fit_follows_window_ = false;
  // Nothing is drawn before the view area has been on screen: until then its
  // size is not the one the window manager gives the window.
  bool on_screen_ = false;
  double last_x_ = 0;
  double last_y_ = 0;
  bool busy_ = false;
  QString zoom_text_;

  ViewArea* view_area_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QComboBox* zoom_box_ = nullptr;
  QToolButton* menu_button_ = nullptr;
  QMenu* menu_ = nullptr;
  std::map<int, QAction*> actions_;
  ImageRecord kept_;  // the picture while a batch job runs
  // Declared last so that it is destroyed first: a running job never outlives
  // the widgets and pictures it reports to.
  BatchWorker batch_worker_;
};

}  // namespace pmk::ui
