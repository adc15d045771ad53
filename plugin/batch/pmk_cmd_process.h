// Running PMKCmd for one file of a batch job.
//
// The plug-in never signs or checks batch files in its own process: one
// PMKCmd process per file keeps a failure or an exhausted memory on one
// picture away from the host application, and PMKCmd appends its own line to
// the job's log. Each call returns only when the process has ended, so a job
// runs its files strictly one after the other.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pmk {

// What every PMKCmd start of a job shares.
struct PmkCmdSettings {
  // The folder holding the plug-in library; PMKCmd lies in its "pmk_cmd".
  std::filesystem::path plugin_folder;
  // Search threads handed on with "-cores" (the plug-in's cores in use).
  std::uint8_t cores = 1;
  // JPEG quality handed on with "-c" (20 to 100).
  int jpeg_quality = 90;
  // Signing with larger regions, handed on with "-robust".
  bool robust = false;
  // Signing the web layer too, handed on with "-web".
  bool web_layer = false;
};

// plugin_folder/pmk_cmd/PMKCmd.
std::filesystem::path PmkCmdProgram(const std::filesystem::path& plugin_folder);

// The arguments of a signing run, in this order: -s signature, -cores n,
// -i input, -o output, -l log, -c quality, then -robust and -web when asked
// for. Every value is one argument as it stands, so blanks and quotes in paths
// or the signature need no quoting.
std::vector<std::string> SignerArguments(const PmkCmdSettings& settings,
                                         const std::filesystem::path& input,
                                         const std::filesystem::path& output,
                                         const std::string& signature,
                                         const std::filesystem::path& log);

// The arguments of a detection run: -cores n, -i input, -l log. Without -s
// and -o PMKCmd only searches and appends its finding to the log.
std::vector<std::string> DetectorArguments(const PmkCmdSettings& settings,
                                           const std::filesystem::path& input,
                                           const std::filesystem::path& log);

// Start PMKCmd hidden and wait for it. The outcome is only in the log; the
// result is PMKCmd's exit status, or platform::kProgramNotStarted when it is
// missing or cannot be run (the file then simply gets no log line).
int RunSignerProcess(const PmkCmdSettings& settings, const std::filesystem::path& input,
                     const std::filesystem::path& output, const std::string& signature,
                     const std::filesystem::path& log) noexcept;
int RunDetectorProcess(const PmkCmdSettings& settings, const std::filesystem::path& input,
                       const std::filesystem::path& log) noexcept;

}  // namespace pmk
