// The dialogs and message boxes the viewer opens, reached through one table
// of functions so that tests can answer them and watch what they show.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QUrl;
class QWidget;

namespace pmk {
class ProgressNotifier;
}

namespace pmk::ui {

enum class MessageIcon { kNone, kInformation, kWarning, kError };

// An open "Please wait ..." dialog: the engine reports to its notifier and
// stops when its flag is set.
class WaitingDialog {
 public:
  virtual ~WaitingDialog() = default;
  virtual ProgressNotifier* notifier() = 0;
  virtual const std::atomic<std::int32_t>* stop_flag() = 0;
  virtual void SetText(const QString& text) = 0;
  // Detection starts its bar at 0 rather than where the dialog puts it.
  virtual void ResetBar() = 0;
};

struct ViewerDialogs {
  // A modal message box over `owner`.
  std::function<void(QWidget* owner, const QString& text, const QString& caption, MessageIcon)>
      message;
  // The sign dialog: 1 for OK (`payload` holds "signSIGN" and the signature),
  // 2 for Cancel.
  std::function<int(QWidget* viewer, std::string& payload)> sign;
  // Opens "Please wait ..." with a step count and a text; closed when the
  // returned object goes.
  std::function<std::unique_ptr<WaitingDialog>(QWidget* viewer, int steps, const QString& text)>
      please_wait;
  // The Results box ("No sign detected") and the "Sign found!" box.
  std::function<void(QWidget* viewer, const QString& text)> result;
  std::function<void(QWidget* viewer, const QString& signature)> sign_found;
  // The options and language dialog (reads and writes the settings itself).
  std::function<void(QWidget* viewer, const QString& plugin_folder)> options;
  // Opens a web page or file in the user's browser.
  std::function<bool(const QUrl& address)> open_url;
};

// The dialogs in use: the plug-in's own unless a test replaced some.
ViewerDialogs& CurrentViewerDialogs();
// The plug-in's own dialogs.
ViewerDialogs PluginDialogs();

}  // namespace pmk::ui
