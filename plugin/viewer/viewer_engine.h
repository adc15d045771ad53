// The viewer's only calls into the signature engine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "image/image_record.h"
#include "plugin/viewer/highlight_frames.h"

namespace pmk::ui {

// One-time tables of the payload coding, built before the first command.
void PrepareEngineTables() noexcept;

// The search before signing (its shorter series of scales). kOk: a signature
// is already there; kRefused: none or stopped; kNoMemory: out of memory.
ResultCode SearchBeforeSigning(const ImageRecord& picture, const EngineControl& control) noexcept;

// The full detection; on kOk `signature` holds the signature found.
ResultCode DetectInPicture(const ImageRecord& picture, const EngineControl& control,
                           std::string& signature);

// Signs `picture` in place with the payload text of the sign dialog
// ("signSIGN" and the signature); `larger_regions` asks for the robust choice
// of regions. `areas` receives the boxes of the regions signed.
ResultCode SignPicture(ImageRecord& picture, std::string_view payload_text, bool larger_regions,
                       const EngineControl& control, std::vector<AreaBox>& areas);

}  // namespace pmk::ui
