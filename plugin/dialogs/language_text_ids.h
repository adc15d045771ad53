// The texts the plug-in shows, by name. Each carries its key number in the
// language file ("string<number>"): translations are keyed by these numbers,
// so a number never changes, and this header is the one place that spells
// them. Keys the plug-in never shows have no name.
#pragma once

namespace pmk::ui {

enum class TextId : int {
  // The viewer window: status bar, title and its warning at start.
  kOpenImageHint = 1,       // "Press Ctrl+O to open an image"
  kNavigationHint = 12,     // "Click and drag to move image, ..."
  kSignedTitleSuffix = 33,  // " - SIGNED", appended with its leading blank
  kCrashedLastTime = 100,   // "The application crashed last time. ..."

  // Toolbar tooltips.
  kSignTooltip = 16,      // "Sign Current Image"
  kDetectTooltip = 17,    // "Detect Sign On Current Image"
  kZoomInTooltip = 18,    // "Zoom In (+)"
  kZoomOutTooltip = 19,   // "Zoom Out (-)"
  kZoomFitTooltip = 20,   // "Zoom Image to Fit the Window"
  kZoom100Tooltip = 101,  // "Set Zoom 100%"
  kZoomBoxTooltip = 102,  // "Set Zoom"

  // The pop-up menu: submenus and items (some items double as tooltips).
  kFileMenu = 40,            // "File"
  kSignMenu = 41,            // "Sign"
  kDetectMenu = 42,          // "Detect"
  kHelpMenu = 43,            // "Help"
  kExitItem = 49,            // "Exit"
  kSignImageItem = 50,       // "Sign Image..."
  kBatchSigningItem = 51,    // "Batch Signing..."
  kDetectItem = 52,          // "Detect Sign in the Image..."
  kBatchDetectionItem = 53,  // "Batch Detection..."
  kVisitWebSiteItem = 55,    // "Visit Web Site"
  kAboutItem = 58,           // "About..."
  kOptions = 97,             // "Options ...": the menu item and the options dialog's title
  kJpegCheckItem = 123,      // "Detect Sign in the Image - The Simulation of JPEG compression"
  kShortenerItem = 136,      // "Open Shortener URL..."

  // Message box captions.
  kReportCaption = 25,        // "Report"
  kErrorCaption = 27,         // "Error"
  kSignInsertedCaption = 35,  // "Sign inserted"
  kAboutCaption = 37,         // "About"
  kWarningCaption = 86,       // "Warning"

  // Why a picture is not signed, or not searched.
  kImageTooSmall = 28,       // "Image is too small!"
  kFormatNotSupported = 29,  // "Image format not supported!"
  kAlreadySigned = 31,       // "Cannot sign already signed image!"
  kCannotSign = 32,          // "This image cannot be signed!"
  kSigningAborted = 92,      // "Signing aborted!"
  kNotEnoughMemory = 141,    // "Cannot sign current image! It might be caused by insufficient ..."

  // Outcomes of signing and detection.
  kNoSignDetected = 30,  // "No sign detected"
  kSignInserted = 34,    // "Your sign was inserted to the higlighted area."

  // The sign dialog.
  kSignatureTooLong = 39,   // "Your sign can have 10 letter at most!"
  kSignatureTooShort = 87,  // "Your sign must have 6 characters at least!"
  kTypeSignature = 65,      // "Insert your sign (letters, capitals, numbers, dashes):"
  kSignatureAsUsed = 66,    // "Sign used by Pictomarker:"
  kCharactersLeft = 67,     // "Characters left:"
  kSignImageTitle = 68,     // "Sign Image"
  kJpegQuality = 80,        // "Jpg quality:" (also the JPEG check's slider)
  kShortenerGroup = 137,    // "URL Shortener"
  kOpenButton = 138,        // "Open"
  kTestButton = 139,        // "Test"

  // Buttons every dialog shares.
  kCloseButton = 47,   // "Close"
  kOkButton = 61,      // "OK"
  kCancelButton = 62,  // "Cancel"

  // The please-wait dialog.
  kPleaseWait = 7,            // "Please wait ..."
  kCancellingDetection = 93,  // "Canceling the detection!"
  kSearchingSignature = 95,   // "Detecting new signature": detection, and the search before signing
  kInsertingSignature = 96,   // "Inserting signature"

  // The batch progress dialogs and the batch jobs' end.
  kEstimatedTime = 69,        // "Estimated time"
  kElapsedTime = 70,          // "Elapsed time"
  kBatchDetectionTitle = 71,  // "Batch Detection"
  kBatchSigningTitle = 72,    // "Batch Signing"
  kBatchSigningDone = 103,    // "Batch signing was successfully finished! ..."
  kBatchDetectionDone = 104,  // "Batch detecting was successfully finished! ..."

  // The result boxes.
  kResultTitle = 73,      // "Result"
  kSignFoundTitle = 74,   // "Sign Found!"
  kMoreInfoButton = 129,  // "Get More Info ->"

  // The JPEG check's verdicts.
  kSignPreserved = 108,     // "Sign will be preserved!"
  kSignUndetectable = 124,  // "Sign will be undetectable!"

  // The options dialog.
  kRestartAfterLanguageChange = 60,  // "You have to restart application (Plug-In) ..."
  kSelectLanguage = 63,              // "Select Language:"
  kCoresInUse = 98,                  // "Number of cores that will be used by the application"
  kMoreCoresSlowOthers = 99,         // "More cores cause faster Pictomarker may slow down ..."
  kRecursiveBatch = 140,             // "Batch Sign/Detect images recursivelly"
};

// The number of the key "string<number>" that holds the text.
constexpr int TextNumber(TextId id) noexcept {
  return static_cast<int>(id);
}

}  // namespace pmk::ui
