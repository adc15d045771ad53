#include "plugin/dialogs/sign_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <cstring>

#include "plugin/dialogs/dialog_ids.h"
#include "plugin/dialogs/plugin_settings.h"
#include "support/dialog_driving.h"

namespace pmk::ui {
namespace {

using SignDialogTest = UiFixture;

std::string PayloadText(const SignPayloadBuffer& payload) {
  return std::string(payload.data(), strnlen(payload.data(), payload.size()));
}

TEST_F(SignDialogTest, TypingRefreshesPreviewAndCharactersLeft) {
  struct Case {
    const char* typed;
    const char* preview;
    const char* left;
  };
  const Case cases[] = {
      {"my sign!", "my-sign-", "2"},
      {"quality", "-uality", "3"},
      {"abcdefghijkl", "abcdefghij", "0"},
      {"", "", "10"},
      {"Q-1", "--1", "7"},
      {"\xC3\xA9t\xC3\xA9", "-t-", "7"},
  };
  SignPayloadBuffer payload;
  SignDialog dialog(nullptr, false, payload);
  for (const Case& c : cases) {
    FindControl<QLineEdit>(&dialog, ids::kSignEdit)->setText(QString::fromUtf8(c.typed));
    EXPECT_EQ(FindControl<QLineEdit>(&dialog, ids::kSignPreview)->text(), c.preview) << c.typed;
    EXPECT_EQ(FindControl<QLabel>(&dialog, ids::kCharactersLeft)->text(), c.left) << c.typed;
  }
}

TEST_F(SignDialogTest, StoredSignStartingWithQComesBackWithDash) {
  WriteLatestSign("qwerty-1");
  SignPayloadBuffer payload;
  SignDialog dialog(nullptr, false, payload);
  EXPECT_EQ(FindControl<QLineEdit>(&dialog, ids::kSignEdit)->text(), "-werty-1");
  EXPECT_EQ(FindControl<QLineEdit>(&dialog, ids::kSignPreview)->text(), "-werty-1");
}

TEST_F(SignDialogTest, OkRefusesShortSignAndWritesAcceptedOne) {
  SignPayloadBuffer payload;
  payload.fill('x');
  SignDialog dialog(nullptr, true, payload);
  EXPECT_EQ(PayloadText(payload), "");  // cleared at once
  FindControl<QSlider>(&dialog, ids::kQualitySlider)->setValue(75);
  EXPECT_EQ(FindControl<QLabel>(&dialog, ids::kQualityValue)->text(), "75");
  FindControl<QLineEdit>(&dialog, ids::kSignEdit)->setText("abcde");
  QString message;
  WithModalHandlers([&] { dialog.accept(); }, {[&](QWidget* box) {
                      message = MessageText(box);
                      QTimer::singleShot(0, box, &QWidget::close);
                    }});
  EXPECT_EQ(message, "Your sign must have 6 characters at least!");
  EXPECT_EQ(dialog.result(), 0);  // still open
  EXPECT_EQ(ReadLatestSign(), "");

  FindControl<QLineEdit>(&dialog, ids::kSignEdit)->setText("abc def");
  dialog.accept();
  EXPECT_EQ(dialog.result(), ids::kOk);
  EXPECT_EQ(PayloadText(payload), "signSIGNabc-def");
  EXPECT_TRUE(std::all_of(payload.begin() + 15, payload.end(), [](char c) { return c == 0; }));
  EXPECT_EQ(ReadLatestSign(), "abc-def");
  EXPECT_EQ(ReadJpegQuality(), 75);
}

TEST_F(SignDialogTest, CancelFillsBufferButWritesNothing) {
  WriteSettingsText("[General]\nLatest Sign=old-sign\n");
  SignPayloadBuffer payload;
  int result = 0;
  WithModalHandlers([&] { result = RunSignDialog(nullptr, false, payload); }, {[](QWidget* dialog) {
                      FindControl<QLineEdit>(dialog, ids::kSignEdit)->setText("new!");
                      ClickLater(dialog, ids::kCancel);
                    }});
  EXPECT_EQ(result, ids::kCancel);
  EXPECT_EQ(PayloadText(payload), "signSIGNnew-");
  EXPECT_EQ(SettingsText(), "[General]\nLatest Sign=old-sign\n");
}

TEST_F(SignDialogTest, EachSigningBoxShowsAndKeepsItsSetting) {
  struct Box {
    int id;
    const char* text;
    const char* key;
    bool (*read)();
    bool PluginSettings::*current;
  };
  const Box boxes[] = {{ids::kRobustSign, "Robust signing (larger regions)", "Robust Sign",
                        ReadRobustSign, &PluginSettings::robust_sign},
                       {ids::kWebLayer, "Also survive resizing for the web", "Web Layer",
                        ReadWebLayer, &PluginSettings::web_layer}};
  struct Case {
    bool with_quality;
    const char* stored;  // the key's value in the file, "" for none
    bool shown;
    bool ok;  // else Cancel
  };
  const Case cases[] = {
      {false, "", false, true}, {true, "", false, true},   {false, "1", true, true},
      {true, "1", true, true},  {true, "0", false, false}, {false, "1", true, false},
  };
  for (const Box& b : boxes) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(b.key) + "=" + c.stored + (c.with_quality ? " batch" : " viewer") +
                   (c.ok ? " OK" : " Cancel"));
      WriteSettingsText(std::string("[General]\n") +
                        (*c.stored != 0 ? std::string(b.key) + "=" + c.stored + "\n" : ""));
      CurrentSettings().*b.current = c.shown;
      SignPayloadBuffer payload;
      SignDialog dialog(nullptr, c.with_quality, payload);
      auto* box = FindControl<QCheckBox>(&dialog, b.id);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->text(), b.text);
      EXPECT_EQ(box->isChecked(), c.shown);
      box->setChecked(!c.shown);
      FindControl<QLineEdit>(&dialog, ids::kSignEdit)->setText("abc-123");
      c.ok ? dialog.accept() : dialog.reject();
      const bool kept = c.ok ? !c.shown : c.shown;
      EXPECT_EQ(b.read(), kept);
      EXPECT_EQ(CurrentSettings().*b.current, kept);
    }
  }
}

}  // namespace
}  // namespace pmk::ui
