// The one signing flow of the viewer and the GIMP program: its checks, its
// outcomes and the message each one shows.
#include "plugin/signing/checked_signing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "image/picture_buffer_ops.h"
#include "support/pictures.h"

namespace pmk::ui {
namespace {

using testing::CopyOf;
using testing::GreyPicture;
using testing::LoadColourPhoto;

bool SamePixels(const ImageRecord& a, const ImageRecord& b) {
  return a.size() == b.size() &&
         std::memcmp(a.data(), b.data(), static_cast<std::size_t>(a.size())) == 0;
}

TEST(CheckedSigningTest, PictureChecksComeInTheViewersOrder) {
  struct Case {
    std::int32_t width, height, channels, bits;
    SigningOutcome expected;
  } const cases[] = {
      {127, 400, 2, 16, SigningOutcome::kImageTooSmall},  // sides before the layout
      {400, 127, 3, 8, SigningOutcome::kImageTooSmall},
      {400, 400, 2, 8, SigningOutcome::kFormatNotSupported},
      {400, 400, 3, 16, SigningOutcome::kFormatNotSupported},
      {128, 128, 3, 8, SigningOutcome::kSigned},
      {400, 300, 4, 8, SigningOutcome::kSigned},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << "x" << c.channels);
    EXPECT_EQ(CheckPictureForSigning(GreyPicture(c.width, c.height, c.channels, c.bits)),
              c.expected);
  }
  EXPECT_EQ(CheckPictureForSigning(ImageRecord{}), SigningOutcome::kImageTooSmall);
}

TEST(CheckedSigningTest, SignsOnceAndLeavesThePictureAloneOtherwise) {
  ImageRecord picture = LoadColourPhoto("kodim23.png");
  const ImageRecord original = CopyOf(picture);
  SigningRun run;
  run.search.threads = 2;
  std::atomic<std::int32_t> stop{1};
  run.search.stop = &stop;
  EXPECT_EQ(SignCheckedPicture(picture, FormatPayload("flow-26"), run), SigningOutcome::kStopped);
  EXPECT_TRUE(SamePixels(picture, original));

  stop = 0;
  bool told = false;
  run.before_embedding = [&told] { told = true; };
  std::vector<AreaBox> areas;
  ASSERT_EQ(SignCheckedPicture(picture, FormatPayload("flow-26"), run, &areas),
            SigningOutcome::kSigned);
  EXPECT_TRUE(told);
  EXPECT_FALSE(areas.empty());
  EXPECT_FALSE(SamePixels(picture, original));

  const ImageRecord signed_once = CopyOf(picture);
  EXPECT_EQ(SignCheckedPicture(picture, FormatPayload("again-26"), run, &areas),
            SigningOutcome::kAlreadySigned);
  EXPECT_TRUE(SamePixels(picture, signed_once));
  EXPECT_TRUE(areas.empty());
}

// A picture with alpha, as the editor hands it over: the layer goes in, is
// verified on the colour, and a picture carrying the layer alone counts as
// signed before any search for the cell mark.
TEST(CheckedSigningTest, WebLayerOnAPictureWithAlphaAndAsAPreviousSignature) {
  const ImageRecord colour = LoadColourPhoto("kodim23.png");
  ImageRecord picture = CopyOf(colour);
  ASSERT_EQ(picture_buffer::ConvertBpcComp(picture, 8, 4), kResultOk);
  SigningRun run;
  run.search.threads = 2;
  run.web_layer = true;
  ASSERT_EQ(SignCheckedPicture(picture, FormatPayload("alpha-26"), run), SigningOutcome::kSigned);
  OutputText text;
  ASSERT_EQ(DetectWebLayer(picture, text, run.search), ResultCode::kOk);
  EXPECT_STREQ(text.Signature(), "alpha-26");

  ImageRecord web_only = CopyOf(colour);
  ASSERT_EQ(EmbedWebLayer(web_only, FormatPayload("web-only"), {}, {}), ResultCode::kOk);
  const ImageRecord before = CopyOf(web_only);
  EXPECT_EQ(SignCheckedPicture(web_only, FormatPayload("other-26"), run),
            SigningOutcome::kAlreadySigned);
  EXPECT_TRUE(SamePixels(web_only, before));
}

TEST(CheckedSigningTest, EachOutcomeHasTheViewersMessage) {
  struct Case {
    SigningOutcome outcome;
    TextId text, caption;
    bool error_icon;
  } const cases[] = {
      {SigningOutcome::kImageTooSmall, TextId::kImageTooSmall, TextId::kErrorCaption, false},
      {SigningOutcome::kFormatNotSupported, TextId::kFormatNotSupported, TextId::kErrorCaption,
       false},
      {SigningOutcome::kTooLarge, TextId::kCannotSign, TextId::kReportCaption, false},
      {SigningOutcome::kAlreadySigned, TextId::kAlreadySigned, TextId::kWarningCaption, true},
      {SigningOutcome::kNotEnoughMemory, TextId::kNotEnoughMemory, TextId::kWarningCaption, true},
      {SigningOutcome::kStopped, TextId::kSigningAborted, TextId::kWarningCaption, true},
      {SigningOutcome::kCannotSign, TextId::kCannotSign, TextId::kReportCaption, false},
  };
  for (const Case& c : cases) {
    const SigningMessage message = MessageFor(c.outcome);
    EXPECT_EQ(message.text, c.text);
    EXPECT_EQ(message.caption, c.caption);
    EXPECT_EQ(message.error_icon, c.error_icon);
  }
}

}  // namespace
}  // namespace pmk::ui
