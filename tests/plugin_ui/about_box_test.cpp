// The About selector's box, driven by PictomarkerHost's own host in process.
#include "plugin/library/about_box.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "plugin/dialogs/about_box_dialog.h"
#include "plugin/dialogs/dialog_ids.h"
#include "plugin/filter_host/filter_host.h"
#include "plugin/filter_host/host_browser.h"
#include "support/dialog_driving.h"

namespace pmk::ui {
namespace {

using namespace plugin::host_api;

void AboutOnly(int16 selector, void* block, std::intptr_t*, int16* result) {
  if (selector == filterSelectorAbout) plugin::ShowAboutBox(*static_cast<AboutRecord*>(block));
  *result = noErr;
}

class AboutBoxTest : public UiFixture {
 protected:
  void TearDown() override { plugin::SetOpenInBrowser({}); }
};

TEST_F(AboutBoxTest, AddressItemsAskTheHostToOpenThem) {
  struct Case {
    const char* settings;
    std::string shortener;
  };
  const Case cases[] = {
      {"", "http://tinyurl.com"},
      {"[General]\nShortener URL=https://example.org/s/\n", "http://example.org/s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    WriteSettingsText(c.settings);
    std::vector<std::string> opened;
    plugin::SetOpenInBrowser([&](const std::string& url) {
      opened.push_back(url);
      return true;
    });
    plugin::FilterHost host(&AboutOnly, {}, {});
    QString text;
    WithModalHandlers([&] { EXPECT_EQ(host.About(), noErr); }, {[&](QWidget* box) {
                        text = FindControl<QLabel>(box, ids::kAboutText)->text();
                        FindControl<QPushButton>(box, ids::kProductAddress)->click();
                        FindControl<QPushButton>(box, ids::kShortenerAddress)->click();
                        QTimer::singleShot(0, box, [box] { QTest::keyClick(box, Qt::Key_Escape); });
                      }});
    EXPECT_EQ(text, AboutMessage());
    EXPECT_TRUE(text.startsWith("Pictomarker plug-in "));
    EXPECT_EQ(opened,
              (std::vector<std::string>{"http://" + ProductAddress().toStdString(), c.shortener}));
    EXPECT_EQ(host.suites_held(), 0);
  }
}

TEST_F(AboutBoxTest, OkEnterEscapeAndALeftClickCloseIt) {
  enum class Way { kOk, kEnter, kEscape, kLeftClick, kRightClick };
  struct Case {
    Way way;
    bool closes;
  };
  const Case cases[] = {{Way::kOk, true},
                        {Way::kEnter, true},
                        {Way::kEscape, true},
                        {Way::kLeftClick, true},
                        {Way::kRightClick, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.way));
    int opened = 0;
    AboutBox box(nullptr, [&](const std::string&) { ++opened; });
    box.show();
    auto* text = FindControl<QLabel>(&box, ids::kAboutText);
    switch (c.way) {
      case Way::kOk:
        FindControl<QPushButton>(&box, ids::kOk)->click();
        break;
      case Way::kEnter:
        QTest::keyClick(&box, Qt::Key_Return);
        break;
      case Way::kEscape:
        QTest::keyClick(&box, Qt::Key_Escape);
        break;
      case Way::kLeftClick:
        QTest::mouseClick(text, Qt::LeftButton);
        break;
      case Way::kRightClick:
        QTest::mouseClick(text, Qt::RightButton);
        break;
    }
    EXPECT_EQ(box.isVisible(), !c.closes);
    EXPECT_EQ(opened, 0);
  }
}

}  // namespace
}  // namespace pmk::ui
