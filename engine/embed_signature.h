// Signing a picture: hiding the payload in up to five regions of its carrier.
#pragma once

#include <array>
#include <cstdint>

#include "engine/embed_options.h"
#include "image/image_record.h"

namespace pmk {

// Larger pictures are refused: the float copy of a signing takes 12 bytes a
// pixel, 1.2 GB at this size, while cameras take up to about 61 megapixels.
inline constexpr std::int64_t kMaxEmbedPixels = 100'000'000;

// The integer boxes (left, top, right, bottom) of the regions chosen by the
// latest signing that got as far as choosing them; the viewer outlines them.
struct UsedRegionsRecord {
  std::int32_t count = 0;
  std::array<std::array<std::int32_t, 4>, 5> boxes{};
};

// Process-wide: one signing at a time.
extern UsedRegionsRecord UsedRegions;

// What a signing did per region, for tools and tests.
struct EmbedReport {
  std::int32_t regions = 0;
  std::array<std::int32_t, 5> passes{};        // 0 for a skipped region
  std::array<double, 5> max_abs_correction{};  // last pass of each region
};

// Signs an 8-bit picture of at least three channels (blue first) in place with
// `payload_text` ("signSIGN" and the signature), seeding the rounding from the
// clock. Returns 0 when signed (also when no region was found: the picture is
// then only clamped), 1 when the picture has more than kMaxEmbedPixels or the
// search was stopped, 6 when memory runs out, or another nonzero code of the
// search. The carrier clamp to 3..252 stays whatever the result; after a
// memory failure the regions finished before it stay signed.
std::uint8_t EmbedSignature(ImageRecord& image, const char* payload_text) noexcept;

// The same with the seeding chosen by `options`; fills `report` when given.
std::uint8_t EmbedSignature(ImageRecord& image, const char* payload_text,
                            const EmbedOptions& options, EmbedReport* report) noexcept;

}  // namespace pmk
