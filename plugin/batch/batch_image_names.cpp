#include "plugin/batch/batch_image_names.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace pmk {

namespace {

// The extension buffer of the lower-case comparison holds 30 characters;
// longer extensions are never pictures.
constexpr std::size_t kMaxExtensionLength = 30;

// The text from the last "." in lower case; empty without a ".".
std::string LowerExtension(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(name.substr(dot));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

template <std::size_t N>
bool IsOneOf(std::string_view name, const std::array<std::string_view, N>& extensions) {
  const std::string extension = LowerExtension(name);
  if (extension.empty() || extension.size() > kMaxExtensionLength) return false;
  return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

}  // namespace

bool IsBatchImageName(std::string_view name) {
  static constexpr std::array<std::string_view, 7> kProcessed = {".bmp", ".jpg",  ".jpeg", ".gif",
                                                                 ".tif", ".tiff", ".png"};
  return IsOneOf(name, kProcessed);
}

bool IsCountedBatchImageName(std::string_view name) {
  static constexpr std::array<std::string_view, 5> kCounted = {".bmp", ".gif", ".jpg", ".tif",
                                                               ".png"};
  return IsOneOf(name, kCounted);
}

}  // namespace pmk
