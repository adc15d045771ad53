// The plug-in side's picture reading on arbitrary bytes: the plug-in
// library's own reader (LoadPluginImage: 8-bit colour with interleaved
// alpha, GIF recognised and refused), and for every picture it accepts, the
// way PictomarkerHost turns a loaded picture into the editor's document and
// back. The bytes are tried under every extension the reader knows and one it
// does not, since it falls back on the name when the content says nothing.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "image/freeimage_session.h"
#include "image/image_files.h"
#include "image/image_record.h"
#include "image/plugin_image_files.h"
#include "plugin/filter_host/host_document.h"
#include "tests/fuzz/fuzz_picture_files.h"

namespace {

using pmk::fuzz::Require;

bool ReadWithPluginReader(const std::filesystem::path& file) {
  pmk::ImageRecord picture;
  try {
    pmk::LoadPluginImage(file, picture);
  } catch (const pmk::UnsupportedImageFormat&) {
    Require(!picture.HasData());
    return false;
  } catch (const pmk::ImageReadError&) {
    Require(!picture.HasData());
    return false;
  } catch (const pmk::FreeImageOperationFailure&) {
    Require(!picture.HasData());
    return false;
  }
  Require(picture.HasData() && picture.bits() == 8);
  Require(picture.channels() == 3 || picture.channels() == 4);
  Require(static_cast<long long>(picture.width()) * picture.height() <= pmk::kMaxLoadPixels);
  return true;
}

bool SameRows(const pmk::ImageRecord& a, const pmk::ImageRecord& b) {
  if (a.width() != b.width() || a.height() != b.height() || a.channels() != b.channels()) {
    return false;
  }
  const auto row_bytes = static_cast<std::size_t>(a.width()) * a.channels() * (a.bits() / 8);
  for (int y = 0; y < a.height(); ++y) {
    if (std::memcmp(a.Row<std::uint8_t>(y), b.Row<std::uint8_t>(y), row_bytes) != 0) return false;
  }
  return true;
}

// As PictomarkerHost loads the document it offers the filter: only 8-bit
// colour pictures become documents, and a document converts back unchanged.
void ReadAsHostDocument(const std::filesystem::path& file) {
  pmk::ImageRecord colour;
  pmk::ImageRecord alpha;
  if (!pmk::LoadImage(file, colour, alpha)) return;
  if (alpha.HasData() && alpha.bits() != 8) pmk::ConvertTo8BitChannels(alpha, 1);
  pmk::plugin::HostDocument document;
  const bool eight_bit_colour = colour.channels() == 3 && colour.bits() == 8;
  Require(pmk::plugin::DocumentFromPicture(colour, alpha, document) == eight_bit_colour);
  if (!eight_bit_colour) return;
  pmk::ImageRecord colour_back;
  pmk::ImageRecord alpha_back;
  Require(pmk::plugin::PictureFromDocument(document, colour_back, alpha_back));
  Require(SameRows(colour, colour_back));
  Require(alpha_back.HasData() == alpha.HasData());
  if (alpha.HasData()) Require(SameRows(alpha, alpha_back));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pmk::EnsureFreeImageReady();
  if (pmk::fuzz::ClaimsCostlyAllowedSize(data, size)) return 0;
  static constexpr std::array<const char*, 6> kExtensions = {".bmp", ".jpg", ".png",
                                                             ".tif", ".gif", ".xyz"};
  for (const char* extension : kExtensions) {
    const std::filesystem::path file = pmk::fuzz::WriteInput(data, size, extension);
    if (ReadWithPluginReader(file)) ReadAsHostDocument(file);
    std::filesystem::remove(file);
  }
  return 0;
}
