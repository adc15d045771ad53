#include "plugin/filter_host/host_document.h"

namespace pmk::plugin {

bool DocumentFromPicture(const ImageRecord& colour, const ImageRecord& alpha,
                         HostDocument& document) {
  if (!colour.HasData() || colour.channels() != 3 || colour.bits() != 8) return false;
  const bool with_alpha = alpha.HasData() && alpha.bits() == 8 && alpha.channels() == 1 &&
                          alpha.width() == colour.width() && alpha.height() == colour.height();
  document.width = colour.width();
  document.height = colour.height();
  document.channels = with_alpha ? 4 : 3;
  document.pixels.assign(
      static_cast<std::size_t>(document.width) * document.height * document.channels, 0);
  std::size_t at = 0;
  for (int y = 0; y < colour.height(); ++y) {
    const std::uint8_t* bgr = colour.Row<std::uint8_t>(y);
    for (int x = 0; x < colour.width(); ++x, bgr += 3) {
      document.pixels[at++] = bgr[2];
      document.pixels[at++] = bgr[1];
      document.pixels[at++] = bgr[0];
      if (with_alpha) document.pixels[at++] = alpha.Row<std::uint8_t>(y)[x];
    }
  }
  return true;
}

bool PictureFromDocument(const HostDocument& document, ImageRecord& colour, ImageRecord& alpha) {
  alpha.Release();
  if (colour.Allocate(document.width, document.height, 3, 8) != kResultOk) return false;
  const bool with_alpha = document.channels == 4;
  if (with_alpha && alpha.Allocate(document.width, document.height, 1, 8) != kResultOk)
    return false;
  std::size_t at = 0;
  for (int y = 0; y < document.height; ++y) {
    std::uint8_t* bgr = colour.Row<std::uint8_t>(y);
    for (int x = 0; x < document.width; ++x, bgr += 3) {
      bgr[2] = document.pixels[at++];
      bgr[1] = document.pixels[at++];
      bgr[0] = document.pixels[at++];
      if (with_alpha) alpha.Row<std::uint8_t>(y)[x] = document.pixels[at++];
    }
  }
  return true;
}

DocumentProperties PropertiesOf(const ImageRecord& colour) {
  return {
      {"PSHOP_ImageMode", colour.channels() >= 3 ? "RGBMode" : "GrayScaleMode"},
      {"PSHOP_ImageDepth", std::to_string(colour.bits())},
      {"PSHOP_HasLayerMask", "false"},
      {"PSHOP_HasSelectionMask", "false"},
      {"PSHOP_NumTrueChannels", std::to_string(colour.channels())},
  };
}

}  // namespace pmk::plugin
