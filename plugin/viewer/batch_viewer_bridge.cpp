#include "plugin/viewer/batch_viewer_bridge.h"

#include "plugin/dialogs/dialog_support.h"
#include "plugin/dialogs/language_table.h"

namespace pmk::ui {

void PostTo(QObject* receiver, std::function<void()> action) {
  QMetaObject::invokeMethod(receiver, std::move(action), Qt::QueuedConnection);
}

void ShowBatchEndMessage(QWidget* viewer, BatchKind kind) {
  const TextId text =
      kind == BatchKind::kSigning ? TextId::kBatchSigningDone : TextId::kBatchDetectionDone;
  ShowMessage(viewer, LanguageText(text), LanguageText(TextId::kReportCaption),
              QMessageBox::Information);
}

}  // namespace pmk::ui
