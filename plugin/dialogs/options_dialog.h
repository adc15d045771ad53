// Options and language (dialog 156): the language, the cores in use and the
// recursion of batch jobs.
#pragma once

#include <QDialog>

#include "plugin/dialogs/plugin_settings.h"

class QCheckBox;
class QComboBox;

namespace pmk::ui {

class OptionsDialog : public QDialog {
 public:
  // Shows `settings` as they are; the check box changes settings.recursive at
  // once (also when the dialog is then cancelled).
  OptionsDialog(QWidget* viewer, PluginSettings& settings);

  // OK: the selections become the settings, and "Use Cores", "Go Recursivelly"
  // and "Language Current" are written.
  void Apply(const QString& plugin_folder);

 private:
  PluginSettings& settings_;
  QComboBox* languages_;
  QComboBox* cores_;
};

// The viewer's options command: reloads the settings and the language list,
// runs the dialog and, after OK, saves the choices and says that a changed
// language needs a restart. Returns true for OK.
bool RunOptionsDialog(QWidget* viewer, const QString& plugin_folder,
                      PluginSettings& settings = CurrentSettings());

}  // namespace pmk::ui
