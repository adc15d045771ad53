// What the picture-reader targets share: the fuzzer's bytes as a file under a
// given extension (the readers take files, and fall back on the name when the
// content says nothing), and the inputs left out because they are merely slow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace pmk::fuzz {

// Aborts when `condition` is false: a broken promise of a reader.
void Require(bool condition);

// Writes the bytes to "input" + `extension` in a private folder that is
// removed at exit, and returns its name.
std::filesystem::path WriteInput(const std::uint8_t* data, std::size_t size, const char* extension);

// Pictures the readers accept by design (up to kMaxLoadPixels) can take a
// second and gigabytes to decode when their header claims hundreds of
// millions of pixels, which a 55-byte BMP can do. They say nothing about
// robustness and would only time out, so inputs that claim more than 16
// million pixels but not more than the limit, under any readable format, are
// left out. Claims above the limit are kept: refusing them is the readers'
// job. The headers are read as the readers read them, without metadata.
bool ClaimsCostlyAllowedSize(const std::uint8_t* data, std::size_t size);

}  // namespace pmk::fuzz
