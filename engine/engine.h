// The signature engine: the one header the programs include.
//
// Results. Operations return a ResultCode (image/result_codes.h): kOk (0)
// success (found, signed), kRefused (1) refused, stopped or not found,
// kNoMemory (6) not enough memory. A caller passes 6 on unchanged. The engine
// never throws and never prints; every buffer it obtains comes from
// TryAllocate (image/checked_allocation.h) and is released on every path out
// of the call.
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
// Control. Every signing and detection takes an EngineControl from its
// caller: how many threads it may keep busy, the caller's stop flag and the
// caller's progress notifier. The engine keeps no settings between calls, so
// operations with different controls may run at the same time on different
// threads; a search keeps the record of which of its threads found the
// signature to itself, and starts every search with none. The one
// process-wide state is the payload coding's table (BuildCheckTriples),
// fixed once built.
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

// How the engine reports progress and learns that it should stop.
class ProgressNotifier {
 public:
  virtual ~ProgressNotifier() = default;
  // Progress report; only the calling thread of a search reports.
  virtual void ReportStep(std::int32_t step) = 0;
  // False asks the running operation to stop at its next checkpoint. The
  // threads of a search ask too, so it must be safe to call from any thread.
  virtual bool ShouldContinue() = 0;
};

// What a caller hands to each operation. The engine only reads it, and only
// during the call.
struct EngineControl {
  // Threads the operation may keep busy, the calling thread included: the
  // scales of a search, and the parts of one scale or signing split over the
  // threads left idle. 0 counts as 1, above 24 as 24.
  std::uint8_t threads = 1;
  // The caller's cancel flag, polled at every checkpoint: nonzero asks the
  // operation to stop there. The engine never writes it, so it stays set
  // after a cancelled call. None: only the notifier can stop the call.
  const std::atomic<std::int32_t>* stop = nullptr;
  // Progress and a second way to stop; none: no reports.
  ProgressNotifier* notifier = nullptr;
};

// ---- The payload text: "signSIGN" and the signature.

// The placeholder the payload text starts with; its characters are never
// embedded (the check symbols take their place).
inline constexpr std::string_view kPayloadPrefix = "signSIGN";
// Where the signature starts in a payload text and in an output text.
inline constexpr int kPayloadSignatureStart = 8;
static_assert(kPayloadPrefix.size() == kPayloadSignatureStart);
// Signature characters a payload carries; a longer signature is cut.
inline constexpr int kSignatureSymbolCount = 10;
// The shortest signature that detection accepts; the programs refuse to sign
// with fewer characters.
inline constexpr int kMinimumSignatureLength = 6;
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

// Most regions one signing uses.
inline constexpr std::int32_t kMaxSignedRegions = 5;

// What a signing did. Everything is zero for a call that fails before it
// chooses its regions.
struct EmbedReport {
  std::int32_t regions = 0;  // regions chosen, 0 to 5
  // The integer box (left, top, right, bottom) of each chosen region, as
  // signed; the viewer outlines them.
  std::array<std::array<std::int32_t, 4>, kMaxSignedRegions> boxes{};
  std::array<std::int32_t, kMaxSignedRegions> passes{};        // 0 for a skipped region
  std::array<double, kMaxSignedRegions> max_abs_correction{};  // last pass of each region
};

// Builds the payload coding's process-wide table (CheckTriples) once; safe to
// call from any thread, any number of times. Every operation builds it on
// first use; a program may build it ahead to keep that cost out of a command.
void BuildCheckTriples() noexcept;

// The widest vectors the engine's arithmetic may take, in single-precision
// lanes: 16 (the default: AVX-512 where the processor has it), 8 (AVX2) or 4
// (the baseline x86-64); the processor's own limit still holds. Every width
// gives the same results, bit for bit. Only the test build's programs narrow
// it, so that a whole-process measurement can stand for a processor without
// the wider vectors.
void LimitVectorLanes(int lanes) noexcept;

// Larger pictures are refused: the float copy of a signing takes 12 bytes a
// pixel, 1.2 GB at this size, while cameras take up to about 61 megapixels.
inline constexpr std::int64_t kMaxEmbedPixels = 100'000'000;

// Signs an 8-bit picture of at least three channels (blue first) in place with
// `payload`, seeding the rounding from the clock. Returns kOk when signed
// (also when no region was found: the picture is then only clamped), kRefused
// when the picture has more than kMaxEmbedPixels or the control stopped the
// search for regions, kNoMemory when memory runs out, or another nonzero code
// of the search. The carrier clamp to 3..252 stays whatever the result; after
// a memory failure the regions finished before it stay signed. The notifier
// is asked between the search's passes; it gets no reports.
ResultCode EmbedSignature(ImageRecord& image, const PayloadText& payload,
                          const EngineControl& control) noexcept;

// The same with the seeding chosen by `options`; fills `report` when given.
ResultCode EmbedSignature(ImageRecord& image, const PayloadText& payload,
                          const EngineControl& control, const EmbedOptions& options,
                          EmbedReport* report) noexcept;

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
enum class DetectionMode : std::uint8_t {
  kDetection = 0,   // 24 scales, 0.9 .. 2.05
  kPreSigning = 1,  // 12 scales, 0.93 .. 1.70: the check before signing
};
inline constexpr std::int32_t kDetectionScaleCount = 24;
inline constexpr std::int32_t kPreSigningScaleCount = 12;

// The scale of the i-th trial of the sequential search of `mode`: 1.0 first,
// then the smallest, then upwards.
double SequentialScale(DetectionMode mode, std::int32_t i) noexcept;

// Searches `record` for a signature over the series of `mode`, on up to
// control.threads threads. Only the calling thread reports to the notifier.
// A three-channel 8-bit picture is searched as it is, a four-channel one on
// its first three channels; any other layout gives kRefused. Returns kOk
// found, kRefused not found or stopped, kNoMemory out of memory.
ResultCode DetectSignature(const ImageRecord& record, OutputText& text,
                           const EngineControl& control,
                           DetectionMode mode = DetectionMode::kDetection) noexcept;

// The check at one scale: looks for a signature in `image` (three 8-bit
// channels) as if it had been rescaled by 1/`scale` after signing. Returns kOk
// found; kRefused when nothing is found, when the control stopped it, when the
// rescaled area is too large, or for a picture of any other layout; kNoMemory
// when memory runs out. Idle threads of the control help with the one scale.
ResultCode DetectAtScale(const ImageRecord& image, OutputText& text, double scale,
                         const EngineControl& control) noexcept;

// ---- The web layer: the signature a second time, at the scale of the whole
// picture (opt-in when signing, always read first when checking).
//
// It lives in the luma of the picture's inner part (6 % in from every side),
// reduced to a 256 x 256 canonical picture, as 228 coded bits on keyed
// directions in that picture's mid-frequency band: the signature's ten 6-bit
// symbols, a 48-bit check, and a rate-1/2 convolutional code. It survives
// shrinking to web sizes with JPEG, crops of up to 5 % per side, sharpening,
// lower contrast and the eight right-angle orientations (a contrast raised
// until highlights clip can lose it); the cell mark is left untouched (the
// change goes to green and red only). Numbers: planes
// in single precision, transform and projections in double, every sum in a
// fixed order.

// Adds the web layer with the payload's signature to an 8-bit picture of at
// least three channels (blue first), seeding the rounding as `options` says
// (the other options do not apply). kOk signed; kRefused for another layout
// or a side below 64 pixels; kNoMemory when memory runs out (the picture is
// then unchanged).
ResultCode EmbedWebLayer(ImageRecord& image, const PayloadText& payload,
                         const EngineControl& control, const EmbedOptions& options) noexcept;

// Reads the web layer: every crop hypothesis (0 to 5 % missing per side, the
// same at both ends of an axis, in steps of 0.5 %) in all eight orientations,
// 968 hypotheses, each accepted only when 48 check bits hold, so that an
// unsigned picture is reported with a probability below 1e-11. On kOk `text`
// holds "signSIGN" and the signature, like a detection's. kRefused when
// nothing is found, for another layout or when stopped; kNoMemory.
ResultCode DetectWebLayer(const ImageRecord& record, OutputText& text,
                          const EngineControl& control) noexcept;

// ---- Checking either layer.

// What every check runs: the web layer first, which answers in well under a
// second when it is there, then the search for the cell mark over the series
// of `mode` when the layer says nothing. Results as DetectSignature's.
ResultCode DetectEitherLayer(const ImageRecord& record, OutputText& text,
                             const EngineControl& control,
                             DetectionMode mode = DetectionMode::kDetection) noexcept;

// The verification of a fresh signing: the cell mark at scale 1.0 and, when
// `web_layer`, the web layer too, on the first three channels of a picture
// of three or four. True when every one of them reads.
bool SignedLayersRead(const ImageRecord& record, const EngineControl& control,
                      bool web_layer) noexcept;

}  // namespace pmk
