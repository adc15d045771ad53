// The viewer's only calls into the signature engine.
#pragma once

#include <string>
#include <string_view>

#include "engine/engine.h"
#include "image/image_record.h"

namespace pmk::ui {

// One-time tables of the payload coding, built before the first command.
void PrepareEngineTables() noexcept;

// The full detection; on kOk `signature` holds the signature found.
ResultCode DetectInPicture(const ImageRecord& picture, const EngineControl& control,
                           std::string& signature);

// The payload the sign dialog's text stands for ("signSIGN" and the
// signature): only the signature after the placeholder is embedded.
PayloadText PayloadFromDialogText(std::string_view payload_text) noexcept;

}  // namespace pmk::ui
