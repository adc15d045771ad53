// Ids of the plug-in's dialogs and of their controls. Every dialog carries its
// template id and every control its id as the Qt object name ("1014"), so that
// the viewer and the tests find them as the Windows original did.
#pragma once

namespace pmk::ui::ids {

// Dialog templates.
inline constexpr int kAboutDialog = 100;
inline constexpr int kBatchSigningDialog = 140;
inline constexpr int kSignDialog = 142;
inline constexpr int kResultsDialog = 143;
inline constexpr int kSignFoundDialog = 144;
inline constexpr int kBatchDetectionDialog = 145;
inline constexpr int kPleaseWaitDialog = 151;
inline constexpr int kOptionsDialog = 156;
inline constexpr int kSignWithQualityDialog = 159;
inline constexpr int kJpegCheckDialog = 162;

// Controls.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kProgressBar = 1008;
inline constexpr int kEstimatedTime = 1009;
inline constexpr int kElapsedTime = 1010;
inline constexpr int kSignEdit = 1014;
inline constexpr int kSignPreview = 1015;
inline constexpr int kCharactersLeft = 1016;
inline constexpr int kLanguageList = 1020;
inline constexpr int kFirstText = 1021;  // first label, or the progress text
inline constexpr int kSecondText = 1022;
inline constexpr int kThirdText = 1023;
inline constexpr int kQualityLabel = 1024;
inline constexpr int kQualitySlider = 1025;
inline constexpr int kQualityValue = 1026;
inline constexpr int kCoresList = 1028;
inline constexpr int kMoreInfo = 1031;
inline constexpr int kRecursionBox = 1032;
inline constexpr int kShortenerGroup = 1038;
inline constexpr int kShortenerOpen = 1047;
inline constexpr int kShortenerTest = 1048;
inline constexpr int kRobustSign = 1049;
inline constexpr int kWebLayer = 1053;
inline constexpr int kAboutText = 1050;
inline constexpr int kProductAddress = 1051;
inline constexpr int kShortenerAddress = 1052;

// The JPEG check dialog's own names for the text ids it shares; its slider is
// kQualitySlider and its Close button kOk.
inline constexpr int kJpegQualityCaption = kFirstText;
inline constexpr int kJpegQualityNumber = kSecondText;
inline constexpr int kJpegVerdict = kThirdText;

}  // namespace pmk::ui::ids
