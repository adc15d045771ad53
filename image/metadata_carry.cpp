#include "image/metadata_carry.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>

namespace pmk {
namespace {

// Exiv2 reports damaged metadata through its log, which prints to standard
// error by default. The first warning of a copy is kept instead: it tells
// the program's one-line notice why something was left out.
thread_local std::string first_exiv2_message;

void KeepExiv2Message(int level, const char* message) {
  if (level < Exiv2::LogMsg::warn || !first_exiv2_message.empty() || message == nullptr) return;
  first_exiv2_message = message;
  while (!first_exiv2_message.empty() &&
         (first_exiv2_message.back() == '\n' || first_exiv2_message.back() == '\r')) {
    first_exiv2_message.pop_back();
  }
}

void EnsureExiv2Ready() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
    Exiv2::LogMsg::setHandler(KeepExiv2Message);
    Exiv2::XmpParser::initialize();
  });
}

// Tags of the first directory that describe how the source file stores its
// pixels; the written file has its own, and a stray one (a sample range of the
// wrong type, say) can make the written file unreadable. The profile travels
// on its own, and XMP, IPTC and Photoshop resources in their own blocks.
constexpr std::array<std::uint16_t, 61> kLayoutTags = {
    0x00FE, 0x00FF, 0x0100, 0x0101, 0x0102, 0x0103, 0x0106, 0x0107, 0x0108, 0x0109, 0x010A,
    0x0111, 0x0115, 0x0116, 0x0117, 0x0118, 0x0119, 0x011C, 0x0120, 0x0121, 0x0122, 0x0123,
    0x0124, 0x0125, 0x0129, 0x012D, 0x013D, 0x0140, 0x0141, 0x0142, 0x0143, 0x0144, 0x0145,
    0x014A, 0x014C, 0x014D, 0x014E, 0x0150, 0x0152, 0x0153, 0x0154, 0x0155, 0x0156, 0x015B,
    0x0200, 0x0201, 0x0202, 0x0203, 0x0205, 0x0206, 0x0207, 0x0208, 0x0209, 0x0211, 0x0212,
    0x0213, 0x0214, 0x02BC, 0x83BB, 0x8649, 0x8773};

Exiv2::ExifData WithoutSourceLayout(Exiv2::ExifData exif, std::int32_t width, std::int32_t height) {
  for (auto it = exif.begin(); it != exif.end();) {
    const bool layout =
        it->groupName() == "Image" &&
        std::find(kLayoutTags.begin(), kLayoutTags.end(), it->tag()) != kLayoutTags.end();
    it = layout ? exif.erase(it) : std::next(it);
  }
  // The picture's size as the EXIF block states it is the written file's.
  for (const char* key : {"Exif.Photo.PixelXDimension", "Exif.Photo.PixelYDimension"}) {
    auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end()) continue;
    const std::int32_t value = std::strcmp(key, "Exif.Photo.PixelXDimension") == 0 ? width : height;
    *it = static_cast<std::uint32_t>(value);
  }
  // A JPEG thumbnail is rewritten with new offsets; one stored as strips
  // belongs to a TIFF page and cannot stand in another format.
  if (std::string(Exiv2::ExifThumbC(exif).mimeType()) != "image/jpeg") {
    Exiv2::ExifThumb(exif).erase();
  }
  return exif;
}

std::string ReadFault(const std::string& exception_text) {
  std::string why = !first_exiv2_message.empty() ? first_exiv2_message : exception_text;
  for (char& c : why) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return why;
}

std::vector<std::uint8_t> WholeContent(Exiv2::BasicIo& io) {
  std::vector<std::uint8_t> bytes(io.size());
  io.seek(0, Exiv2::BasicIo::beg);
  if (!bytes.empty() &&
      io.read(bytes.data(), static_cast<long>(bytes.size())) != static_cast<long>(bytes.size())) {
    throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
  }
  return bytes;
}

bool CanHoldMetadata(FREE_IMAGE_FORMAT format) {
  return format == FIF_JPEG || format == FIF_PNG || format == FIF_TIFF;
}

// Says why an ICC profile cannot be trusted (its header disagrees with its
// length, or it is too short to have one); empty for a sound profile.
std::string IccProfileFault(const std::uint8_t* profile, std::size_t size) {
  constexpr std::size_t kHeaderBytes = 128;
  if (size < kHeaderBytes) return "the ICC profile is too short to be one";
  const std::uint32_t stated = static_cast<std::uint32_t>(profile[0]) << 24 |
                               static_cast<std::uint32_t>(profile[1]) << 16 |
                               static_cast<std::uint32_t>(profile[2]) << 8 | profile[3];
  if (stated != size) {
    return "the ICC profile says it has " + std::to_string(stated) + " bytes but holds " +
           std::to_string(size);
  }
  if (std::memcmp(profile + 36, "acsp", 4) != 0) return "the ICC profile has no valid header";
  return "";
}

}  // namespace

std::string CarryMetadata(const std::vector<std::uint8_t>& source, FREE_IMAGE_FORMAT format,
                          std::int32_t width, std::int32_t height,
                          std::vector<std::uint8_t>& encoded) noexcept {
  if (!CanHoldMetadata(format) || source.empty()) return "";
  try {
    EnsureExiv2Ready();
    first_exiv2_message.clear();
    std::string fault;
    std::unique_ptr<Exiv2::Image> from;
    try {
      from = Exiv2::ImageFactory::open(source.data(), static_cast<long>(source.size()));
      from->readMetadata();
    } catch (const Exiv2::AnyError& error) {
      // Whatever was read before the damage is still carried.
      fault = ReadFault(error.what());
    }
    if (from.get() == nullptr) return fault;
    if (fault.empty() && !first_exiv2_message.empty()) fault = ReadFault("");

    std::unique_ptr<Exiv2::Image> to =
        Exiv2::ImageFactory::open(encoded.data(), static_cast<long>(encoded.size()));
    if (to->supportsMetadata(Exiv2::mdExif)) {
      to->setExifData(WithoutSourceLayout(from->exifData(), width, height));
    }
    if (to->supportsMetadata(Exiv2::mdIptc)) to->setIptcData(from->iptcData());
    if (to->supportsMetadata(Exiv2::mdXmp) && !from->xmpPacket().empty()) {
      try {
        to->setXmpPacket(from->xmpPacket());
        to->writeXmpFromPacket(true);
      } catch (const Exiv2::AnyError&) {
        if (fault.empty()) fault = "the XMP packet cannot be read";
        to->clearXmpPacket();
        to->clearXmpData();
      }
    }
    if (to->supportsMetadata(Exiv2::mdComment) && !from->comment().empty()) {
      to->setComment(from->comment());
    }
    const Exiv2::DataBuf* profile = from->iccProfile();
    // JPEG, PNG and TIFF all hold a profile, though Exiv2 does not list it
    // among what they support.
    if (profile != nullptr && profile->size_ > 0) {
      const std::string profile_fault =
          IccProfileFault(profile->pData_, static_cast<std::size_t>(profile->size_));
      if (profile_fault.empty()) {
        Exiv2::DataBuf copy(profile->pData_, profile->size_);
        to->setIccProfile(copy, false);
      } else if (fault.empty()) {
        fault = profile_fault;
      }
    }
    to->writeMetadata();
    encoded = WholeContent(to->io());
    return fault;
  } catch (const Exiv2::AnyError& error) {
    return ReadFault(error.what());
  } catch (const std::bad_alloc&) {
    return "not enough memory";
  } catch (const std::exception& error) {
    return error.what();
  }
}

}  // namespace pmk
