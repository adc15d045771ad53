// The viewer's only calls into the signature engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/image_record.h"
#include "plugin/viewer/highlight_frames.h"

namespace pmk {
class ProgressNotifier;
}

namespace pmk::ui {

// One-time tables of the payload coding, built before the first command.
void PrepareEngineTables() noexcept;

// The search before signing (its shorter series of scales). 0: a signature is
// already there; 1: none or stopped; 6: out of memory.
std::uint8_t SearchBeforeSigning(const ImageRecord& picture, ProgressNotifier* notifier) noexcept;

// The full detection; on 0 `signature` holds the signature found.
std::uint8_t DetectInPicture(const ImageRecord& picture, ProgressNotifier* notifier,
                             std::string& signature);

// Signs `picture` in place with the payload text ("signSIGN" and the signature);
// `larger_regions` asks for the robust choice of regions.
std::uint8_t SignPicture(ImageRecord& picture, const char* payload_text,
                         bool larger_regions) noexcept;

// The boxes of the regions that the latest signing used.
std::vector<AreaBox> SignedAreas();

}  // namespace pmk::ui
