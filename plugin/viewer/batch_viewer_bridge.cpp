#include "plugin/viewer/batch_viewer_bridge.h"

#include "plugin/dialogs/dialog_support.h"
#include "plugin/dialogs/language_table.h"

namespace pmk::ui {

namespace {

constexpr int kReportCaption = 25;
constexpr int kSigningEndText = 103;
constexpr int kDetectionEndText = 104;

}  // namespace

void PostTo(QObject* receiver, std::function<void()> action) {
  QMetaObject::invokeMethod(receiver, std::move(action), Qt::QueuedConnection);
}

void ShowBatchEndMessage(QWidget* viewer, BatchKind kind) {
  ShowMessage(viewer,
              LanguageText(kind == BatchKind::kSigning ? kSigningEndText : kDetectionEndText),
              LanguageText(kReportCaption), QMessageBox::Information);
}

}  // namespace pmk::ui
