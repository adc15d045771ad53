// Driving the plug-in's dialogs in tests: a private settings folder, a
// plug-in folder for the language file, controls found by their ids.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QString>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/private_profile.h"
#include "plugin/dialogs/language_table.h"
#include "plugin/dialogs/plugin_settings.h"
#include "support/qt_app.h"
#include "support/temp_folder.h"

namespace pmk::ui {

using testing::TestApplication;

// The control with the given id inside `dialog`.
template <typename Control>
Control* FindControl(const QWidget* dialog, int id) {
  auto* control = dialog->findChild<Control*>(QString::number(id));
  EXPECT_NE(control, nullptr) << "no control " << id;
  return control;
}

// Clicks a button once the event loop runs again, so that a modal loop the
// click opens does not start inside the caller.
inline void ClickLater(const QWidget* dialog, int id) {
  if (auto* button = FindControl<QAbstractButton>(dialog, id)) {
    QTimer::singleShot(0, button, &QAbstractButton::click);
  }
}

// The text of the first label of a message box.
inline QString MessageText(const QWidget* box) {
  auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  return label ? label->text() : QString();
}

// Runs `action`, which opens modal windows; each new modal window is handed,
// in order, to the next handler. Handlers must not block: they type and use
// ClickLater.
inline void WithModalHandlers(const std::function<void()>& action,
                              std::vector<std::function<void(QWidget*)>> handlers) {
  QTimer poll;
  poll.setInterval(5);
  std::size_t next = 0;
  QWidget* last = nullptr;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == last) return;
    last = modal;
    if (next < handlers.size()) {
      handlers[next++](modal);
    } else {
      ADD_FAILURE() << "unexpected modal window " << modal->objectName().toStdString() << " "
                    << MessageText(modal).toStdString();
      QTimer::singleShot(0, modal, &QWidget::close);
    }
  });
  poll.start();
  action();
  poll.stop();
  EXPECT_EQ(next, handlers.size()) << "fewer modal windows than expected";
}

// Each test gets its own settings file and plug-in folder, fresh in-memory
// settings and the English table.
class UiFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    std::filesystem::create_directories(folder_ / "plugin");
    plugin_folder_ = QString::fromStdString((folder_ / "plugin").string());
    CurrentSettings() = PluginSettings{};
    CurrentSettings().processor_count = 4;
    LoadLanguageTable(QStringLiteral("/nonexistent"), 0);
  }

  std::string SettingsText() const { return pmk::testing::ReadBytes(SettingsFilePath()); }
  void WriteSettingsText(const std::string& text) const {
    pmk::testing::WriteBytes(SettingsFilePath(), text);
  }
  void WriteLanguageFile(const std::string& text) const {
    pmk::testing::WriteBytes(folder_ / "plugin" / "Pictomarker_loc.ini", text);
  }

  pmk::testing::TempFolder folder_;
  QString plugin_folder_;
};

}  // namespace pmk::ui
