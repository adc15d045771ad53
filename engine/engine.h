// The signature engine: the one header the programs include.
//
// Results. Operations return an unsigned 8-bit code (image/result_codes.h):
// 0 success (found, signed), 1 refused, stopped or not found, 6 not enough
// memory. A caller passes 6 on unchanged. The engine never throws and never
// prints; every buffer it obtains comes from TryAllocate
// (image/checked_allocation.h) and is released on every path out of the call.
//
// Planes. Pictures are ImageRecords with rows top to bottom and packed pixels
// stored blue, green, red (then alpha). Working planes are one-channel 32-bit
// float records. Channel 0 (blue) carries the mark; channels 1 and 2 (green,
// red) guide the search for regions and are never changed.
//
// Numbers. Single and double precision are used exactly where the algorithms
// say, and sums run in the stated order, so that pictures signed by any build
// read back in any other.
//
// Process-wide values. CoreCount is the number of search threads including
// the caller; StopRequested, when nonzero, asks every running operation to
// stop at its next checkpoint; FoundSlot is -1 while no search thread has
// found a signature, else that thread's number.
//
// The stages behind these entries (engine/internal/) are for the engine's own
// tests, PMKInspect and the stage benchmarks.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "image/image_record.h"
#include "image/result_codes.h"

namespace pmk {

// Search threads, including the calling thread (the command line sets it).
extern std::atomic<std::uint8_t> CoreCount;
// Nonzero when the user has cancelled; polled at every checkpoint.
extern std::atomic<std::int32_t> StopRequested;
// -1 while nothing is found, else the number of the thread that found it.
extern std::atomic<std::int32_t> FoundSlot;

// How the engine reports progress and learns that it should stop.
class ProgressNotifier {
 public:
  virtual ~ProgressNotifier() = default;
  // Progress report; only the plug-in's scale driver calls it.
  virtual void ReportStep(std::int32_t step) = 0;
  // False asks the running operation to stop at its next checkpoint.
  virtual bool ShouldContinue() = 0;
};

// ---- The payload text: "signSIGN" and the signature.

// Where the signature starts in a payload text and in an output text.
inline constexpr int kPayloadSignatureStart = 8;
// Signature characters a payload carries; a longer signature is cut.
inline constexpr int kSignatureSymbolCount = 10;
// Bytes of a payload buffer, and how far it is zero-filled.
inline constexpr std::size_t kPayloadTextSize = 128;
inline constexpr std::size_t kPayloadZeroFillSize = 120;

struct PayloadText {
  std::array<char, kPayloadTextSize> bytes{};
  const char* c_str() const noexcept { return bytes.data(); }
};

// "signSIGN" followed by the signature up to its first NUL and at most its
// first 10 characters, zero-filled.
PayloadText FormatPayload(std::string_view signature) noexcept;

// ---- Signing.

struct EmbedOptions {
  // The programs seed every pass from the clock, so two signings of one
  // picture differ in single pixels. Tests and tools fix the seed instead to
  // repeat a signing exactly; a fixed seed is used as given, for every pass.
  bool use_fixed_seed = false;
  std::uint32_t fixed_seed = 0;
  // Robust signing: among the combinations with the most regions take the
  // largest total area instead of the smallest (nested candidates still give
  // way to the inner one). Larger regions survive JPEG and rescaling better
  // at the cost of more changed pixels; detection is the same.
  bool larger_regions = false;
};

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

// Builds the payload coding's process-wide table (CheckTriples) once; safe to
// call from any thread, any number of times. Every operation builds it on
// first use; a program may build it ahead to keep that cost out of a command.
void BuildCheckTriples() noexcept;

// Larger pictures are refused: the float copy of a signing takes 12 bytes a
// pixel, 1.2 GB at this size, while cameras take up to about 61 megapixels.
inline constexpr std::int64_t kMaxEmbedPixels = 100'000'000;

// Signs an 8-bit picture of at least three channels (blue first) in place with
// `payload_text` (a PayloadText's c_str()), seeding the rounding from the
// clock. Returns 0 when signed (also when no region was found: the picture is
// then only clamped), 1 when the picture has more than kMaxEmbedPixels or the
// search was stopped, 6 when memory runs out, or another nonzero code of the
// search. The carrier clamp to 3..252 stays whatever the result; after a
// memory failure the regions finished before it stay signed.
std::uint8_t EmbedSignature(ImageRecord& image, const char* payload_text) noexcept;

// The same with the seeding chosen by `options`; fills `report` when given.
std::uint8_t EmbedSignature(ImageRecord& image, const char* payload_text,
                            const EmbedOptions& options, EmbedReport* report) noexcept;

// ---- Detection.

// Size of every output text; a detection clears all of it before it writes.
inline constexpr std::int32_t kDetectOutputSize = 1024;

// What a detection hands back: on success the 18 payload characters followed
// by zeros, the signature from character 8 on.
struct OutputText {
  std::array<char, kDetectOutputSize> bytes{};
  char* data() noexcept { return bytes.data(); }
  const char* data() const noexcept { return bytes.data(); }
  const char* Signature() const noexcept { return bytes.data() + kPayloadSignatureStart; }
};

// Which series a search runs.
inline constexpr int kDetectionMode = 0;   // 24 scales, 0.9 .. 2.05
inline constexpr int kPreSigningMode = 1;  // 12 scales, 0.93 .. 1.70
inline constexpr std::int32_t kDetectionScaleCount = 24;
inline constexpr std::int32_t kPreSigningScaleCount = 12;

// The scale of the i-th trial of the sequential search of `mode`: 1.0 first,
// then the smallest, then upwards.
double SequentialScale(int mode, std::int32_t i) noexcept;

// The command-line program's search: the detection series on CoreCount
// threads, without a notifier. `record` has three 8-bit channels. Returns 0
// found, 1 not found or stopped, 6 out of memory.
std::uint8_t DetectSignature(const ImageRecord& record, OutputText& text) noexcept;

// The plug-in's search: reports the trials to `notifier` (may be null) and
// runs the series of `mode`. A four-channel picture is searched on its first
// three channels; one with other than 8 bits per sample gives 1.
std::uint8_t DetectSignature(const ImageRecord& record, OutputText& text,
                             ProgressNotifier* notifier, int mode) noexcept;

// The check at one scale: looks for a signature in `image` (three 8-bit
// channels) as if it had been rescaled by 1/`scale` after signing. Returns 0
// found; 1 when nothing is found, when stopped (notifier, StopRequested, or
// FoundSlot set by a search thread), when the rescaled area is too large, or
// for a picture of any other layout; 6 when memory runs out.
std::uint8_t DetectAtScale(const ImageRecord& image, OutputText& text, double scale,
                           ProgressNotifier* notifier) noexcept;

}  // namespace pmk
