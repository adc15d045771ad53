// What the viewer needs around a batch job on the Qt side: notifications from
// the worker thread and the end message.
#pragma once

#include <QObject>
#include <functional>

#include "plugin/batch/batch_job.h"

class QWidget;

namespace pmk::ui {

// Runs `action` later on `receiver`'s thread and returns at once. `receiver`
// must outlive the worker that calls this (the viewer waits for the worker
// before it goes); queued calls for a receiver deleted later are dropped.
void PostTo(QObject* receiver, std::function<void()> action);

// The job's end text in a message box captioned "Report" with the
// information icon, over the viewer.
void ShowBatchEndMessage(QWidget* viewer, BatchKind kind);

}  // namespace pmk::ui
