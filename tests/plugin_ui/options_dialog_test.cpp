#include "plugin/dialogs/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>

#include "plugin/dialogs/dialog_ids.h"
#include "support/dialog_driving.h"

namespace pmk::ui {
namespace {

using OptionsDialogTest = UiFixture;

constexpr char kTwoLanguages[] =
    "[General]\nLanguages No=2\nLanguage Current=0\n"
    "[0]\nLanguage=English\n"
    "[1]\nLanguage=Deutsch\nstring25=Bericht\nstring60=Bitte neu starten\n";

TEST_F(OptionsDialogTest, CancelAfterTickingRecursionLeavesTheFileUnchanged) {
  WriteLanguageFile(kTwoLanguages);
  WriteSettingsText("[General]\nCrashed Last Time=1\nGo Recursivelly=1\nUse Cores=2\n");
  const std::string before = SettingsText();
  PluginSettings settings;
  settings.processor_count = 4;
  bool accepted = true;
  WithModalHandlers([&] { accepted = RunOptionsDialog(nullptr, plugin_folder_, settings); },
                    {[](QWidget* dialog) {
                      EXPECT_EQ(FindControl<QComboBox>(dialog, ids::kCoresList)->count(), 4);
                      EXPECT_EQ(FindControl<QComboBox>(dialog, ids::kCoresList)->currentText(),
                                "2");
                      FindControl<QCheckBox>(dialog, ids::kRecursionBox)->click();
                      ClickLater(dialog, ids::kCancel);
                    }});
  EXPECT_FALSE(accepted);
  EXPECT_FALSE(settings.recursive);  // changed for this run only
  EXPECT_EQ(SettingsText(), before);
}

TEST_F(OptionsDialogTest, RestartMessageOnlyAfterOkWithAnotherLanguage) {
  struct Case {
    int language;
    int button;
    const char* message;  // empty: no message
  };
  const Case cases[] = {
      {1, ids::kOk, "Bitte neu starten"},
      {0, ids::kOk, ""},
      {1, ids::kCancel, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language * 10 + c.button);
    WriteLanguageFile(kTwoLanguages);
    WriteSettingsText("");
    PluginSettings settings;
    settings.processor_count = 4;
    std::vector<std::function<void(QWidget*)>> handlers = {[&](QWidget* dialog) {
      FindControl<QComboBox>(dialog, ids::kLanguageList)->setCurrentIndex(c.language);
      FindControl<QComboBox>(dialog, ids::kCoresList)->setCurrentIndex(2);
      ClickLater(dialog, c.button);
    }};
    QString message, caption;
    if (*c.message != '\0') {
      handlers.push_back([&](QWidget* box) {
        message = MessageText(box);
        caption = box->windowTitle();
        QTimer::singleShot(0, box, &QWidget::close);
      });
    }
    WithModalHandlers([&] { RunOptionsDialog(nullptr, plugin_folder_, settings); }, handlers);
    EXPECT_EQ(message, c.message);
    const bool ok = c.button == ids::kOk;
    if (ok && *c.message != '\0') {
      EXPECT_EQ(caption, "Bericht");
    }
    PluginSettings reloaded;
    reloaded.processor_count = 4;
    LoadSettingsAndLanguageList(reloaded, plugin_folder_);
    EXPECT_EQ(reloaded.language_current, ok ? c.language : 0);
    EXPECT_EQ(reloaded.cores_in_use, ok ? 3 : 4);
  }
}

TEST_F(OptionsDialogTest, ShippedLanguageFileTranslatesEveryShownText) {
  const QString shipped = QString::fromStdString(
      (pmk::testing::TestData("") / "../../plugin/dialogs").lexically_normal());
  PluginSettings settings;
  LoadSettingsAndLanguageList(settings, shipped);
  ASSERT_EQ(settings.language_names, QStringList({"English", "Deutsch"}));
  // Every key of the table, named or not: the shown ones are those with a default.
  for (int number = 1; number <= kLanguageTextCount; ++number) {
    const TextId id = static_cast<TextId>(number);
    const QString english = DefaultLanguageText(id);
    if (english.isEmpty()) continue;
    EXPECT_EQ(ReadLanguageText(shipped, 0, id, QString()), english) << number;
    const QString second = ReadLanguageText(shipped, 1, id, QString());
    EXPECT_FALSE(second.isEmpty()) << number;
    if (english.startsWith(' ')) {
      EXPECT_TRUE(second.startsWith(' ')) << number;
    }
  }
}

}  // namespace
}  // namespace pmk::ui
