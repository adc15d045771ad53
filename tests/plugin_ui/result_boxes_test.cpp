#include "plugin/dialogs/result_boxes.h"

#include <QPushButton>

#include "plugin/dialogs/dialog_ids.h"
#include "support/dialog_driving.h"

namespace pmk::ui {
namespace {

using ResultBoxesTest = UiFixture;

TEST_F(ResultBoxesTest, TemplatesTitlesAndButtons) {
  struct Case {
    bool found;
    const char* id;
    const char* title;
  };
  for (const Case& c : {Case{false, "143", "Result"}, Case{true, "144", "Sign Found!"}}) {
    ResultBox box(nullptr, "abc-123", c.found);
    EXPECT_EQ(box.objectName(), c.id);
    EXPECT_EQ(box.windowTitle(), c.title);
    EXPECT_EQ(FindControl<QPushButton>(&box, ids::kOk)->text(), "Close");
    EXPECT_EQ(box.findChild<QLabel*>("text")->text(), "abc-123");
    auto* more = box.findChild<QPushButton*>(QString::number(ids::kMoreInfo));
    EXPECT_EQ(more != nullptr, c.found);
    if (more) {
      EXPECT_EQ(more->text(), "Get More Info ->");
    }
  }
  bool closed = false;
  WithModalHandlers(
      [&] {
        ShowResultsBox(nullptr, "No sign detected");
        closed = true;
      },
      {[](QWidget* box) { ClickLater(box, ids::kOk); }});
  EXPECT_TRUE(closed);
}

}  // namespace
}  // namespace pmk::ui
