// The command-line reader (PMKCmd, PMKInspect, PictomarkerHost) on arbitrary
// bytes, through the same path as the programs: the file read into memory,
// its metadata blocks removed, the header checked, then FreeImage decoding
// the copy. The bytes are tried under every extension the system knows and
// one it does not, since the reader falls back on the name when the content
// says nothing.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "image/freeimage_session.h"
#include "image/image_files.h"
#include "image/image_record.h"
#include "tests/fuzz/fuzz_picture_files.h"

namespace {

using pmk::fuzz::Require;

void CheckLoadedRecord(const pmk::ImageRecord& colour, const pmk::ImageRecord& alpha) {
  Require(colour.HasData());
  Require(colour.channels() == 1 || colour.channels() == 3);
  Require(colour.bits() == 8 || colour.bits() == 16);
  Require(static_cast<long long>(colour.width()) * colour.height() <= pmk::kMaxLoadPixels);
  Require(static_cast<long long>(colour.stride()) * colour.height() == colour.size());
  if (alpha.HasData()) {
    Require(alpha.channels() == 1 && alpha.width() == colour.width() &&
            alpha.height() == colour.height());
  }
}

void ReadWithCommandLineReader(const std::filesystem::path& file) {
  pmk::ImageRecord colour;
  pmk::ImageRecord alpha;
  if (!pmk::LoadImage(file, colour, alpha)) {
    Require(!colour.HasData() && !alpha.HasData());
    return;
  }
  CheckLoadedRecord(colour, alpha);
  // What a run does next with every picture it loads.
  pmk::ConvertTo8BitColour(colour);
  if (alpha.HasData() && alpha.bits() != 8) pmk::ConvertTo8BitChannels(alpha, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pmk::EnsureFreeImageReady();
  if (pmk::fuzz::ClaimsCostlyAllowedSize(data, size)) return 0;
  static constexpr std::array<const char*, 5> kExtensions = {".bmp", ".jpg", ".png", ".tif",
                                                             ".xyz"};
  for (const char* extension : kExtensions) {
    const std::filesystem::path file = pmk::fuzz::WriteInput(data, size, extension);
    ReadWithCommandLineReader(file);
    std::filesystem::remove(file);
  }
  return 0;
}
