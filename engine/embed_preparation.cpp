#include "engine/internal/embed_preparation.h"

#include "engine/internal/candidate_search.h"
#include "engine/internal/check_symbols.h"

namespace pmk {
namespace {

constexpr std::uint8_t kCarrierLowest = 3;
constexpr std::uint8_t kCarrierHighest = 252;

}  // namespace

void ClampCarrier(ImageRecord& image) noexcept {
  const std::int32_t channels = image.channels();
  for (std::int32_t y = 0; y < image.height(); ++y) {
    std::uint8_t* row = image.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < image.width(); ++x) {
      std::uint8_t& blue = row[static_cast<std::int64_t>(x) * channels];
      if (blue < kCarrierLowest) blue = kCarrierLowest;
      if (blue > kCarrierHighest) blue = kCarrierHighest;
    }
  }
}

std::uint8_t FindEmbeddingCandidates(const ImageRecord& image, CandidateList& list,
                                     const Checkpoints& checkpoints) noexcept {
  if (!list.Reserve(kEmbedCandidateRoom)) return kResultNoMemory;
  BuildCheckTriples();

  const std::int32_t width = image.width();
  const std::int32_t height = image.height();
  const std::int32_t channels = image.channels();
  // The guide plane straight from the 8-bit samples: the same sums
  // MakeGuidePlane forms on a three-channel float copy, without the copy.
  ImageRecord guide;
  if (guide.Allocate(width, height, 1, 32) != kResultOk) return kResultNoMemory;
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* source = image.Row<std::uint8_t>(y);
    float* destination = guide.Row<float>(y);
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint8_t* pixel = source + static_cast<std::int64_t>(x) * channels;
      destination[x] = (static_cast<float>(pixel[1]) + static_cast<float>(pixel[2])) * 0.5f;
    }
  }
  return FindCandidateRects(list, guide, kPairingEmbedding, 1.0, checkpoints);
}

}  // namespace pmk
