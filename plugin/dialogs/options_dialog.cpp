#include "plugin/dialogs/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "plugin/dialogs/dialog_ids.h"
#include "plugin/dialogs/dialog_support.h"
#include "plugin/dialogs/language_table.h"

namespace pmk::ui {
namespace {

QLabel* MakeLabel(int id, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  SetId(label, id);
  label->setWordWrap(true);
  return label;
}

}  // namespace

OptionsDialog::OptionsDialog(QWidget* viewer, PluginSettings& settings)
    : QDialog(viewer), settings_(settings) {
  SetId(this, ids::kOptionsDialog);
  setWindowTitle(LanguageText(TextId::kOptions));

  languages_ = new QComboBox(this);
  SetId(languages_, ids::kLanguageList);
  languages_->addItems(settings.language_names);
  languages_->setCurrentIndex(
      settings.language_current < languages_->count() ? settings.language_current : -1);
  cores_ = new QComboBox(this);
  SetId(cores_, ids::kCoresList);
  for (int cores = 1; cores <= settings.processor_count; ++cores) {
    cores_->addItem(QString::number(cores));
  }
  cores_->setCurrentIndex(settings.cores_in_use - 1);
  auto* recursion = new QCheckBox(LanguageText(TextId::kRecursiveBatch), this);
  SetId(recursion, ids::kRecursionBox);
  recursion->setChecked(settings.recursive);
  connect(recursion, &QCheckBox::clicked, this,
          [this](bool checked) { settings_.recursive = checked; });

  auto* ok = MakeButton(ids::kOk, LanguageText(TextId::kOkButton), this);
  ok->setDefault(true);
  auto* cancel = MakeButton(ids::kCancel, LanguageText(TextId::kCancelButton), this);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* grid = new QGridLayout;
  grid->addWidget(MakeLabel(ids::kFirstText, LanguageText(TextId::kSelectLanguage), this), 0, 0);
  grid->addWidget(languages_, 0, 1);
  grid->addWidget(MakeLabel(ids::kSecondText, LanguageText(TextId::kCoresInUse), this), 1, 0);
  grid->addWidget(cores_, 1, 1);
  grid->addWidget(MakeLabel(ids::kThirdText, LanguageText(TextId::kMoreCoresSlowOthers), this), 2,
                  0, 1, 2);
  grid->addWidget(recursion, 3, 0, 1, 2);
  LayOutAboveButtons(this, grid, ok, cancel);
  ReserveTitleWidth(this);
  CentreOver(this, viewer);
}

void OptionsDialog::Apply(const QString& plugin_folder) {
  // With no language file there is nothing to choose: the index stays, rather
  // than becoming "no selection" and asking for a restart that changes nothing.
  if (languages_->currentIndex() >= 0) settings_.language_current = languages_->currentIndex();
  if (cores_->currentIndex() >= 0) {
    settings_.cores_in_use = static_cast<std::uint8_t>(cores_->currentIndex() + 1);
  }
  WriteUseCores(settings_.cores_in_use);
  WriteGoRecursively(settings_.recursive);
  WriteLanguageCurrent(plugin_folder, settings_.language_current);
}

bool RunOptionsDialog(QWidget* viewer, const QString& plugin_folder, PluginSettings& settings) {
  LoadSettingsAndLanguageList(settings, plugin_folder);
  const std::int32_t language_before = settings.language_current;
  OptionsDialog dialog(viewer, settings);
  if (dialog.exec() != QDialog::Accepted) return false;
  dialog.Apply(plugin_folder);
  if (settings.language_current != language_before) {
    const QString restart =
        ReadLanguageText(plugin_folder, settings.language_current,
                         TextId::kRestartAfterLanguageChange, RestartAfterLanguageChangeDefault());
    const QString caption = ReadLanguageText(plugin_folder, settings.language_current,
                                             TextId::kReportCaption, QStringLiteral("Report"));
    ShowMessage(viewer, restart, caption, QMessageBox::Information);
  }
  return true;
}

}  // namespace pmk::ui
