#include "image/metadata_carry.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "image/metadata_blocks.h"

namespace pmk {
namespace {

// Exiv2 reports damaged metadata through its log, which prints to standard
// error by default. The warnings of a copy are kept instead: they tell which
// part of the metadata a damaged block cost.
thread_local std::vector<std::string> exiv2_messages;

void KeepExiv2Message(int level, const char* message) {
  constexpr std::size_t kKept = 16;
  if (level < Exiv2::LogMsg::warn || message == nullptr || exiv2_messages.size() >= kKept) return;
  exiv2_messages.emplace_back(message);
}

void EnsureExiv2Ready() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
    Exiv2::LogMsg::setHandler(KeepExiv2Message);
    Exiv2::XmpParser::initialize();
  });
}

// What a damaged block cost, in the notice's words: the warning is the
// parser's, the name is what the photographer would miss, with the entry
// when the warning gives one ("Minolta.ThumbnailOffset"). Warnings about the
// XMP packet cost nothing when the packet travels as it is; empty then.
struct Cost {
  std::string what;
  std::string entry;
};

Cost CostOf(const std::string& message, bool xmp_carried) {
  if (message.find("XMP") != std::string::npos) {
    return {xmp_carried ? "" : "the XMP packet (damaged)", ""};
  }
  if (message.find("IPTC") != std::string::npos) return {"part of the IPTC data", ""};
  // "Directory Minolta, entry 0x0088: ..." or "Offset of directory Image,
  // entry 0x010f ...".
  const std::size_t directory = message.find("irectory ");
  const std::size_t entry = message.find(", entry 0x");
  if (directory != std::string::npos && entry != std::string::npos && entry > directory &&
      message.size() >= entry + 14) {
    const std::string group = message.substr(directory + 9, entry - directory - 9);
    try {
      const auto tag =
          static_cast<std::uint16_t>(std::stoul(message.substr(entry + 8, 6), nullptr, 16));
      // "Exif.Minolta.ThumbnailOffset" without its family.
      return {"part of the EXIF data", Exiv2::ExifKey(tag, group).key().substr(5)};
    } catch (const std::exception&) {
      // A group Exiv2 does not know by that name: the entry stays unnamed.
    }
  }
  return {"part of the EXIF data", ""};
}

// Tags of the first directory that Exiv2 takes from the written TIFF, never
// from the metadata it is given, and that describe the picture rather than
// its storage: resolution, colour description, the sensor. They are set in
// the written file directly.
constexpr std::array<std::uint16_t, 11> kTiffImageTagsCarried = {
    0x011A, 0x011B, 0x0128, 0x013E, 0x013F, 0x0151, 0x828D, 0x828E, 0x8824, 0x8828, 0x9217};

Exiv2::ExifData WithoutSourceLayout(Exiv2::ExifData exif, std::int32_t width, std::int32_t height) {
  for (auto it = exif.begin(); it != exif.end();) {
    const bool layout = it->groupName() == "Image" && IsLayoutTag(it->tag());
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

Bytes WholeContent(Exiv2::BasicIo& io) {
  Bytes bytes(io.size());
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

FREE_IMAGE_FORMAT FormatOf(const Bytes& file) {
  if (file.size() >= 2 && file[0] == 0xFF && file[1] == 0xD8) return FIF_JPEG;
  if (file.size() >= 8 && file[0] == 0x89 && std::memcmp(file.data() + 1, "PNG", 3) == 0) {
    return FIF_PNG;
  }
  if (file.size() >= 4 &&
      (std::memcmp(file.data(), "II*\0", 4) == 0 || std::memcmp(file.data(), "MM\0*", 4) == 0)) {
    return FIF_TIFF;
  }
  return FIF_UNKNOWN;
}

// What `target` keeps of a `source_format` file: across formats EXIF, IPTC,
// XMP and the profile (and the comment, which only JPEG has); within a
// format also what only that format holds.
unsigned KindsHeld(FREE_IMAGE_FORMAT target, FREE_IMAGE_FORMAT source_format) {
  unsigned held = kExifKind | kIptcKind | kXmpKind | kProfileKind;
  if (target == FIF_JPEG) held |= kCommentKind;
  if (target == source_format && target == FIF_JPEG) held |= kPhotoshopKind | kExtendedXmpKind;
  if (target == source_format && target == FIF_TIFF) held |= kPhotoshopKind;
  return held;
}

// Says why an ICC profile cannot be trusted (its header disagrees with its
// length, or it is too short to have one); empty for a sound profile.
std::string IccProfileFault(const std::uint8_t* profile, std::size_t size) {
  constexpr std::size_t kHeaderBytes = 128;
  if (size < kHeaderBytes) return "too short to be one";
  const std::uint32_t stated = static_cast<std::uint32_t>(profile[0]) << 24 |
                               static_cast<std::uint32_t>(profile[1]) << 16 |
                               static_cast<std::uint32_t>(profile[2]) << 8 | profile[3];
  if (stated != size) {
    return "it says it has " + std::to_string(stated) + " bytes but holds " + std::to_string(size);
  }
  if (std::memcmp(profile + 36, "acsp", 4) != 0) return "no valid header";
  return "";
}

Bytes DatumBytes(const Exiv2::Exifdatum& datum, Exiv2::ByteOrder order) {
  Bytes bytes(static_cast<std::size_t>(datum.size()));
  if (!bytes.empty()) datum.copy(bytes.data(), order);
  return bytes;
}

// The packet as the source stores it. Exiv2 hands over a packet re-encoded
// by its toolkit when it could parse it, and from a TIFF none when it could
// not, so the container's own bytes are taken where there are any.
std::string RawXmpPacket(FREE_IMAGE_FORMAT source_format, const Bytes& source,
                         const Exiv2::Image& from) {
  if (source_format == FIF_JPEG) {
    const std::vector<Bytes> packets = JpegPayloads(source, kApp1, kXmpId);
    if (!packets.empty()) return std::string(packets.front().begin(), packets.front().end());
  }
  if (source_format == FIF_PNG) {
    std::string packet = PngXmpPacket(source);
    if (!packet.empty()) return packet;
  }
  if (source_format == FIF_TIFF) {
    const auto it = from.exifData().findKey(Exiv2::ExifKey("Exif.Image.XMLPacket"));
    if (it != from.exifData().end()) {
      const Bytes bytes = DatumBytes(*it, Exiv2::invalidByteOrder);
      return std::string(bytes.begin(), bytes.end());
    }
  }
  return from.xmpPacket();
}

// What goes through Exiv2 into the written file.
struct Exiv2Parts {
  Exiv2::ExifData exif;
  Exiv2::IptcData iptc;
  std::string xmp;
  std::string comment;
  Exiv2::DataBuf profile;
};

// The parts in the order they are given up when Exiv2 cannot write them all
// (a packet too large for a JPEG segment, say): the least described first.
enum Part : unsigned {
  kXmpPart = 1,
  kIptcPart = 2,
  kCommentPart = 4,
  kExifPart = 8,
  kProfilePart = 16
};
constexpr std::array<Part, 5> kPartsToGiveUp = {kXmpPart, kIptcPart, kCommentPart, kExifPart,
                                                kProfilePart};

Bytes WriteThroughExiv2(const Bytes& encoded, const Exiv2Parts& parts, unsigned left_out) {
  std::unique_ptr<Exiv2::Image> to =
      Exiv2::ImageFactory::open(encoded.data(), static_cast<long>(encoded.size()));
  if (to->supportsMetadata(Exiv2::mdExif) && !(left_out & kExifPart)) to->setExifData(parts.exif);
  if (to->supportsMetadata(Exiv2::mdIptc) && !(left_out & kIptcPart)) to->setIptcData(parts.iptc);
  if (to->supportsMetadata(Exiv2::mdXmp) && !parts.xmp.empty() && !(left_out & kXmpPart)) {
    // Assigned, not set: setting parses the packet, and what Exiv2 cannot
    // parse still belongs to the photographer. The TIFF writer takes it
    // from the XMP data's own copy.
    to->xmpPacket() = parts.xmp;
    to->xmpData().setPacket(parts.xmp);
    to->writeXmpFromPacket(true);
  }
  if (to->supportsMetadata(Exiv2::mdComment) && !parts.comment.empty() &&
      !(left_out & kCommentPart)) {
    to->setComment(parts.comment);
  }
  // JPEG, PNG and TIFF all hold a profile, though Exiv2 does not list it
  // among what they support.
  if (parts.profile.size_ > 0 && !(left_out & kProfilePart)) {
    Exiv2::DataBuf copy(parts.profile.pData_, parts.profile.size_);
    to->setIccProfile(copy, false);
  }
  to->writeMetadata();
  return WholeContent(to->io());
}

// The notice's list: each part once, the entries of a part gathered after it.
class LeftOut {
 public:
  void Add(const std::string& what, const std::string& entry = "") {
    if (what.empty()) return;
    auto it = std::find_if(items_.begin(), items_.end(),
                           [&](const Item& item) { return item.what == what; });
    if (it == items_.end()) it = items_.insert(items_.end(), Item{what, {}});
    if (!entry.empty() &&
        std::find(it->entries.begin(), it->entries.end(), entry) == it->entries.end()) {
      it->entries.push_back(entry);
    }
  }
  std::string Text() const {
    std::string text;
    for (const Item& item : items_) {
      text += (text.empty() ? "" : ", ") + item.what;
      for (std::size_t i = 0; i < item.entries.size(); ++i) {
        text += (i == 0 ? " (" : ", ") + item.entries[i];
      }
      if (!item.entries.empty()) text += ")";
    }
    return text;
  }

 private:
  struct Item {
    std::string what;
    std::vector<std::string> entries;
  };
  std::vector<Item> items_;
};

}  // namespace

std::string CarryMetadata(const std::vector<std::uint8_t>& source, FREE_IMAGE_FORMAT format,
                          std::int32_t width, std::int32_t height,
                          std::vector<std::uint8_t>& encoded) noexcept {
  if (!CanHoldMetadata(format) || source.empty()) return "";
  try {
    EnsureExiv2Ready();
    exiv2_messages.clear();
    const FREE_IMAGE_FORMAT source_format = FormatOf(source);
    const unsigned expected =
        MetadataKindsIn(source_format, source) & KindsHeld(format, source_format);
    std::unique_ptr<Exiv2::Image> from;
    try {
      from = Exiv2::ImageFactory::open(source.data(), static_cast<long>(source.size()));
      from->readMetadata();
    } catch (const Exiv2::AnyError&) {
      // Whatever was read before the damage is still carried; what was not
      // is found missing below.
    }
    if (from.get() == nullptr) return expected != 0 ? "all of it (damaged)" : "";
    const std::vector<std::string> read_messages = std::move(exiv2_messages);
    exiv2_messages.clear();

    LeftOut left_out;
    Exiv2Parts parts;
    parts.exif = WithoutSourceLayout(from->exifData(), width, height);
    // An entry whose data lay outside the block (a Minolta maker note's
    // preview, which those cameras store after the EXIF segment) arrives
    // without it; its offset would point at whatever the new file holds
    // there.
    for (const std::string& message : read_messages) {
      const std::string entry = CostOf(message, false).entry;
      if (entry.empty() || message.find("Data area exceeds") == std::string::npos) continue;
      const auto it = parts.exif.findKey(Exiv2::ExifKey("Exif." + entry));
      if (it != parts.exif.end()) parts.exif.erase(it);
    }
    parts.iptc = from->iptcData();
    parts.xmp = RawXmpPacket(source_format, source, *from);
    parts.comment = from->comment();
    const Exiv2::DataBuf* profile = from->iccProfile();
    std::string profile_fault;
    if (profile != nullptr && profile->size_ > 0) {
      profile_fault = IccProfileFault(profile->pData_, static_cast<std::size_t>(profile->size_));
      if (profile_fault.empty()) parts.profile = Exiv2::DataBuf(profile->pData_, profile->size_);
    }

    // Within a format, the Photoshop resources travel whole and as they are,
    // the IPTC record inside them; Exiv2 would keep that record only.
    const bool same_format = source_format == format;
    Bytes resources;
    std::uint16_t resources_type = Exiv2::undefined;
    if (same_format && format == FIF_JPEG) resources = JpegResourceBlock(source);
    if (same_format && format == FIF_TIFF) {
      const auto it = from->exifData().findKey(Exiv2::ExifKey("Exif.Image.ImageResources"));
      if (it != from->exifData().end()) {
        resources = DatumBytes(*it, Exiv2::invalidByteOrder);
        if (it->typeId() == Exiv2::unsignedByte) resources_type = Exiv2::unsignedByte;
      }
    }
    if (!resources.empty() && !ResourceIds(resources)) {
      left_out.Add("the Photoshop resources (damaged)");
      resources.clear();
    }
    if (format == FIF_JPEG && !resources.empty()) parts.iptc.clear();

    unsigned given_up = 0;
    Bytes written;
    for (std::size_t next = 0;; ++next) {
      try {
        written = WriteThroughExiv2(encoded, parts, given_up);
        break;
      } catch (const Exiv2::AnyError&) {
        if (next == kPartsToGiveUp.size()) return "all of it (it cannot be written into this file)";
        given_up |= kPartsToGiveUp[next];
        exiv2_messages.clear();
      }
    }

    bool resources_carried = false;
    bool extended_xmp_carried = false;
    std::vector<Bytes> extension;
    if (format == FIF_JPEG && same_format) {
      extension = JpegPayloads(source, kApp1, kExtendedXmpId);
      // The extension belongs to the packet it was cut from.
      extended_xmp_carried = !(given_up & kXmpPart) && !extension.empty() &&
                             InsertJpegSegments(written, kApp1, kExtendedXmpId, extension);
      resources_carried =
          !resources.empty() &&
          InsertJpegSegments(written, kApp13, kPhotoshopId, ResourceSegmentPayloads(resources));
      CopyJfifDensity(source, written);
    }
    if (format == FIF_TIFF) {
      const std::optional<bool> little = TiffLittleEndian(written);
      const Exiv2::ByteOrder order = little.value_or(true) ? Exiv2::littleEndian : Exiv2::bigEndian;
      std::vector<TiffEntry> entries;
      for (const Exiv2::Exifdatum& datum : parts.exif) {
        const bool carried = datum.groupName() == "Image" &&
                             std::find(kTiffImageTagsCarried.begin(), kTiffImageTagsCarried.end(),
                                       datum.tag()) != kTiffImageTagsCarried.end();
        const long type_size = Exiv2::TypeInfo::typeSize(datum.typeId());
        if (!carried || datum.typeId() < 1 || datum.typeId() > 12 ||
            type_size * datum.count() != datum.size()) {
          continue;
        }
        entries.push_back({datum.tag(), static_cast<std::uint16_t>(datum.typeId()),
                           static_cast<std::uint32_t>(datum.count()), DatumBytes(datum, order)});
      }
      if (!resources.empty()) {
        entries.push_back(
            {0x8649, resources_type, static_cast<std::uint32_t>(resources.size()), resources});
      }
      const bool set = entries.empty() ||
                       (little && !(given_up & kExifPart) && SetTiffEntries(written, entries));
      resources_carried = set && !resources.empty();
      if (!set && !entries.empty()) left_out.Add("part of the EXIF data (resolution, colour)");
    }
    if (format == FIF_PNG && !(given_up & kProfilePart) && parts.profile.size_ > 0) {
      // Exiv2 names the profile it writes after the one it read from the
      // same file, which here is none: an empty name, which PNG forbids.
      NamePngProfile(written, PngProfileName(source_format, source));
    }
    if (format == FIF_PNG && source_format == FIF_PNG) {
      for (const std::string& chunk : CarryPngChunks(source, written)) {
        left_out.Add("the PNG " + chunk + " chunk (damaged)");
      }
    }

    // Blocks the source holds and the output can, that did not arrive: not
    // read (damaged), or given up because this file has no room for them.
    const auto missing = [&](MetadataKind kind, bool read, bool given_up_part, const char* name) {
      if (!(expected & kind)) return;
      if (!read) left_out.Add(std::string(name) + " (damaged)");
      if (read && given_up_part) left_out.Add(std::string(name) + " (no room for it in this file)");
    };
    missing(kExifKind, !parts.exif.empty(), given_up & kExifPart, "the EXIF data");
    const bool iptc_read = !from->iptcData().empty() || !resources.empty();
    const bool iptc_carried = resources_carried || (!parts.iptc.empty() && !(given_up & kIptcPart));
    missing(kIptcKind, iptc_read, !iptc_carried, "the IPTC data");
    const bool xmp_carried = !parts.xmp.empty() && !(given_up & kXmpPart);
    missing(kXmpKind, !parts.xmp.empty(), given_up & kXmpPart, "the XMP packet");
    missing(kExtendedXmpKind, !extension.empty(), !extended_xmp_carried, "the extended XMP");
    missing(kPhotoshopKind, !resources.empty(), !resources_carried, "the Photoshop resources");
    if (profile_fault.empty()) {
      missing(kProfileKind, parts.profile.size_ > 0, given_up & kProfilePart, "the ICC profile");
    } else {
      left_out.Add("the ICC profile (" + profile_fault + ")");
    }
    missing(kCommentKind, !parts.comment.empty(), given_up & kCommentPart, "the comment");
    std::vector<std::string> messages = read_messages;
    messages.insert(messages.end(), exiv2_messages.begin(), exiv2_messages.end());
    for (const std::string& message : messages) {
      const Cost cost = CostOf(message, xmp_carried);
      left_out.Add(cost.what, cost.entry);
    }
    encoded = std::move(written);
    return left_out.Text();
  } catch (const Exiv2::AnyError&) {
    return "all of it (it cannot be written into this file)";
  } catch (const std::bad_alloc&) {
    return "all of it (not enough memory)";
  } catch (const std::exception&) {
    return "all of it";
  }
}

}  // namespace pmk
