// The sign dialog: asks for the signature (6 to 10 letters, digits or dashes)
// and, for batch signing, the JPEG quality of the signed files; both ask
// whether to sign with larger regions and whether to add the web layer.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace pmk::ui {

// Pictures narrower or lower than this are refused by sign and detect.
inline constexpr std::int32_t kMinimumSignedSide = 128;

// The caller's buffer for the payload text "signSIGN" + signature.
using SignPayloadBuffer = std::array<char, 1024>;

// The signature that the typed text stands for: its first 10 characters, a
// leading "Q" or "q" turned into "-" (the payload must not start with it), and
// every character other than a-z, A-Z, 0-9 turned into "-".
QString SignaturePreview(const QString& typed);

class SignDialog : public QDialog {
 public:
  // `with_quality` selects template 159 (batch signing) over 142. The buffer
  // is cleared at once and filled when the dialog closes with OK or Cancel.
  SignDialog(QWidget* viewer, bool with_quality, SignPayloadBuffer& payload);

  // OK: refused with a message (the dialog stays) unless the preview has 6 to
  // 10 characters; else "Latest Sign", "jpeg", "Robust Sign" and "Web Layer"
  // are written and it closes with 1.
  void accept() override;
  // Cancel: the buffer is still filled, nothing is written, it closes with 2.
  void reject() override;

 private:
  void Refresh();
  void FillPayload();

  SignPayloadBuffer& payload_;
  QLineEdit* edit_;
  QLineEdit* preview_;
  QLabel* characters_left_;
  QSlider* quality_slider_ = nullptr;
  QLabel* quality_value_ = nullptr;
  QCheckBox* robust_;
  QCheckBox* web_layer_;
};

// Shows the dialog modally; returns 1 for OK, 2 for Cancel. On OK `payload`
// holds the payload text; on Cancel it holds it too, but nothing is signed.
int RunSignDialog(QWidget* viewer, bool with_quality, SignPayloadBuffer& payload);

}  // namespace pmk::ui
