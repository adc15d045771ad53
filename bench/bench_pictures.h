// Pictures and measurements shared by the benchmarks and the robustness
// report: loading photographs, building photo-like pictures of a given size,
// the attacks a signed picture suffers (JPEG, rescaling, publishing through
// ImageMagick), and peak memory.
//
// These are tools, not engine code: they may throw and allocate freely.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/image_record.h"

namespace pmk::bench {

// The committed test photographs.
std::filesystem::path TestDataFolder();

// Removes `--NAME=VALUE` from the command line and returns VALUE, or
// `fallback` when the flag is absent. Lets our own flags sit beside the
// benchmark library's.
std::string TakeFlag(int& argc, char** argv, const std::string& name,
                     const std::string& fallback = "");

// Loads a picture as 8-bit colour (blue, green, red), the way the signer
// does; false when it cannot be read or converted.
bool LoadColour(const std::filesystem::path& file, ImageRecord& picture);

// The pictures of a folder that the reader accepts by extension, sorted by name.
std::vector<std::filesystem::path> PicturesIn(const std::filesystem::path& folder);

bool CopyPicture(ImageRecord& destination, const ImageRecord& source);

// Rescales an 8-bit colour picture with FreeImage's filter.
bool Rescale(const ImageRecord& picture, std::int32_t width, std::int32_t height,
             FREE_IMAGE_FILTER filter, ImageRecord& out);

// Writes the picture as JPEG of `quality` the way PMKCmd writes, and reads it back.
bool JpegRoundTrip(const ImageRecord& picture, int quality, ImageRecord& out);

// ---- Publishing: what a site does to a photograph, done by ImageMagick
// `convert` (which must be on the PATH): `convert IN ARGUMENTS OUT.jpg`.
struct Pipeline {
  const char* name;
  const char* arguments;
  bool quick;  // one of the few that tell most (web_layer_bench --pipelines=quick)
};
// Shrinking to web sizes with JPEG, centred crops, sharpening, contrast and
// turns, each ending in JPEG.
const std::vector<Pipeline>& PublishingPipelines();

// Writes the picture losslessly (BMP).
bool WriteBmp(const ImageRecord& picture, const std::filesystem::path& file);
// Runs the pipeline from file `in` to file `out`.
bool Publish(const std::filesystem::path& in, const Pipeline& pipeline,
             const std::filesystem::path& out);
// The picture as the pipeline publishes it, read back.
bool PublishPicture(const ImageRecord& picture, const Pipeline& pipeline, ImageRecord& out);

// A photo-like picture of about `megapixels` million pixels (4:3). From a
// folder of photographs: the one nearest in size, rescaled unless already
// within 5 % of it. Without a folder: a 2 x 2 mosaic of the committed
// photographs, each rescaled to a quarter of the picture. `description`
// says which.
bool MakePhotoLike(double megapixels, const std::filesystem::path& photos, ImageRecord& out,
                   std::string& description);

// Peak resident memory of this process in MiB. ResetPeakMemory starts a new
// peak where the kernel allows it (Linux /proc/self/clear_refs), so that one
// measurement's peak is not hidden by an earlier, larger one.
void ResetPeakMemory();
double PeakMemoryMiB();
// Resident memory now, in MiB.
double CurrentMemoryMiB();

// PSNR in dB between two 8-bit colour pictures of equal size, over all three
// channels or over channel `channel` only (-1 for all); infinity when equal.
double Psnr(const ImageRecord& a, const ImageRecord& b, int channel);
// Largest absolute difference of any sample.
int LargestChange(const ImageRecord& a, const ImageRecord& b);

}  // namespace pmk::bench
