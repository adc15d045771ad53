#include "plugin/batch/pmk_cmd_process.h"

#include "platform/run_program.h"
#include "platform/utf8_path.h"

namespace pmk {

std::filesystem::path PmkCmdProgram(const std::filesystem::path& plugin_folder) {
  return plugin_folder / "pmk_cmd" / (std::string("PMKCmd") + platform::kProgramFileSuffix);
}

std::vector<std::string> SignerArguments(const PmkCmdSettings& settings,
                                         const std::filesystem::path& input,
                                         const std::filesystem::path& output,
                                         const std::string& signature,
                                         const std::filesystem::path& log) {
  using platform::Utf8FromPath;
  std::vector<std::string> arguments = {
      "-s", signature,           "-cores", std::to_string(settings.cores),
      "-i", Utf8FromPath(input), "-o",     Utf8FromPath(output),
      "-l", Utf8FromPath(log),   "-c",     std::to_string(settings.jpeg_quality)};
  if (settings.robust) arguments.push_back("-robust");
  if (settings.web_layer) arguments.push_back("-web");
  return arguments;
}

std::vector<std::string> DetectorArguments(const PmkCmdSettings& settings,
                                           const std::filesystem::path& input,
                                           const std::filesystem::path& log) {
  return {"-cores", std::to_string(settings.cores), "-i", platform::Utf8FromPath(input),
          "-l",     platform::Utf8FromPath(log)};
}

int RunSignerProcess(const PmkCmdSettings& settings, const std::filesystem::path& input,
                     const std::filesystem::path& output, const std::string& signature,
                     const std::filesystem::path& log) noexcept {
  try {
    return platform::RunProgramAndWait(PmkCmdProgram(settings.plugin_folder),
                                       SignerArguments(settings, input, output, signature, log));
  } catch (...) {
    return platform::kProgramNotStarted;
  }
}

int RunDetectorProcess(const PmkCmdSettings& settings, const std::filesystem::path& input,
                       const std::filesystem::path& log) noexcept {
  try {
    return platform::RunProgramAndWait(PmkCmdProgram(settings.plugin_folder),
                                       DetectorArguments(settings, input, log));
  } catch (...) {
    return platform::kProgramNotStarted;
  }
}

}  // namespace pmk
