// One run of PMKCmd: check the input, and with an output name sign a copy,
// write it, read it back and verify it.
#pragma once

#include <cstdint>
#include <string>

#include "cmd/message_stream.h"

namespace pmk::cmd {

inline constexpr std::string_view kMessageUnsupported = "Image Format is not supported!\n\n";
inline constexpr std::string_view kMessageDetected = "Signature detected:";
inline constexpr std::string_view kMessageNoMemory = "Not enough memory!\n";
inline constexpr std::string_view kMessageNotDetected = "No signature detected!\n";
inline constexpr std::string_view kMessageCannotSign = "Cannot sign current picture!\n\n";
inline constexpr std::string_view kMessageSuccess = "Success!\n\n";
inline constexpr std::string_view kMessageNotPreserved = "Signature not preserved!\n\n";
// Our own, for outcomes the classic messages do not cover.
inline constexpr std::string_view kMessageOutputUnsupported = "Output Format is not supported!\n\n";
inline constexpr std::string_view kMessageMetadataUnreadable =
    "Cannot read metadata of the input file!\n\n";

struct SignRequest {
  std::string input;   // resolved; names are UTF-8
  std::string output;  // resolved; signing only when `sign` is set
  bool sign = false;
  std::string signature;
  int jpeg_quality = 95;
  bool larger_regions = false;  // "-robust"
  // "-web": the web layer after the cell mark; both must read back.
  bool web_layer = false;
  // A line for standard error once the output is written, if not empty.
  std::string written_note;
  std::uint8_t cores = 1;  // "-cores": the engine's threads
};

// Returns the exit code (0 or 1); writes exactly one message.
int RunSignAndVerify(const SignRequest& request, MessageStream& messages);

// The check that ends a signing: reads `output` back and looks for a
// signature in it at scale 1.0 on `cores` threads, and for the web layer too
// when it was signed. Only the file is judged, never a picture in memory: a
// file that cannot be read back (or memory that runs out) preserved nothing.
bool SignatureReadsBack(const std::string& output, std::uint8_t cores, bool web_layer = false);

}  // namespace pmk::cmd
