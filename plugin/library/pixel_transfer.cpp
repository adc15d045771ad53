#include "plugin/library/pixel_transfer.h"

#include <cstdint>
#include <utility>

namespace pmk::plugin {
namespace {

using namespace host_api;

constexpr Fixed kRateOne = 0x10000;

// Sets rates, rectangles and planes for one request of the whole picture.
void SetRequest(FilterRecord& filter, int32 width, int32 height, int32 channels) {
  filter.inputRate = kRateOne;
  filter.maskRate = kRateOne;
  if (UsesBigDocument(filter)) {
    filter.bigDocumentData->inRect32 = VRect{0, 0, height, width};
    filter.bigDocumentData->outRect32 = VRect{0, 0, height, width};
  } else {
    filter.inRect = Rect{0, 0, static_cast<int16>(height), static_cast<int16>(width)};
    filter.outRect = Rect{0, 0, static_cast<int16>(height), static_cast<int16>(width)};
  }
  filter.inLoPlane = 0;
  filter.outLoPlane = 0;
  filter.inHiPlane = static_cast<int16>(channels - 1);
  filter.outHiPlane = static_cast<int16>(channels - 1);
}

}  // namespace

bool UsesBigDocument(const FilterRecord& filter) {
  return filter.bigDocumentData != nullptr &&
         filter.bigDocumentData->PluginUsing32BitCoordinates != 0;
}

void FilterSize(const FilterRecord& filter, long long& width, long long& height) {
  if (UsesBigDocument(filter)) {
    const VRect& r = filter.bigDocumentData->filterRect32;
    width = static_cast<long long>(r.right) - r.left;
    height = static_cast<long long>(r.bottom) - r.top;
  } else {
    width = filter.filterRect.right - filter.filterRect.left;
    height = filter.filterRect.bottom - filter.filterRect.top;
  }
  if (width < 0) width = 0;
  if (height < 0) height = 0;
}

OSErr FetchPicture(FilterRecord& filter, ImageRecord& picture) {
  long long width = 0;
  long long height = 0;
  FilterSize(filter, width, height);
  const int32 channels = filter.filterCase > 2 ? 4 : 3;
  SetRequest(filter, static_cast<int32>(width), static_cast<int32>(height), channels);
  const OSErr error = filter.advanceState();
  if (error != noErr) return error;
  ImageRecord fetched;
  if (fetched.Allocate(static_cast<int32>(width), static_cast<int32>(height), channels, 8) !=
      kResultOk) {
    return memFullErr;
  }
  if (filter.inData == nullptr && width > 0 && height > 0) return filterBadParameters;
  for (int32 y = 0; y < fetched.height(); ++y) {
    const auto* in = static_cast<const std::uint8_t*>(filter.inData) +
                     static_cast<std::int64_t>(y) * filter.inRowBytes;
    std::uint8_t* out = fetched.Row<std::uint8_t>(y);
    for (int32 x = 0; x < fetched.width(); ++x, in += channels, out += channels) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      if (channels == 4) out[3] = in[3];
    }
  }
  picture = std::move(fetched);
  return noErr;
}

OSErr WriteBackPicture(FilterRecord& filter, const ImageRecord& picture) {
  if (!picture.HasData()) return noErr;
  const int32 channels = picture.channels();
  SetRequest(filter, picture.width(), picture.height(), channels);
  const OSErr error = filter.advanceState();
  if (error != noErr) return error;
  if (filter.outData == nullptr) return filterBadParameters;
  for (int32 y = 0; y < picture.height(); ++y) {
    const std::uint8_t* in = picture.Row<std::uint8_t>(y);
    auto* out = static_cast<std::uint8_t*>(filter.outData) +
                static_cast<std::int64_t>(y) * filter.outRowBytes;
    for (int32 x = 0; x < picture.width(); ++x, in += channels, out += channels) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      // No pixel may come back fully transparent.
      if (channels == 4) out[3] = in[3] <= 1 ? 1 : in[3];
    }
  }
  return noErr;
}

void EndPixelLoop(FilterRecord& filter) {
  if (UsesBigDocument(filter)) {
    filter.bigDocumentData->inRect32 = VRect{};
    filter.bigDocumentData->outRect32 = VRect{};
    filter.bigDocumentData->maskRect32 = VRect{};
  } else {
    filter.inRect = Rect{};
    filter.outRect = Rect{};
    filter.maskRect = Rect{};
  }
}

}  // namespace pmk::plugin
