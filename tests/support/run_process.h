// Runs a program to completion and collects what it printed.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace pmk::testing {

struct ProcessResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

inline std::string SlurpFile(const std::filesystem::path& file) {
  std::string text;
  if (FILE* f = std::fopen(file.c_str(), "rb")) {
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}

// Runs `program` with `arguments` in `working_folder`; standard output and
// error go to files there, so large outputs cannot dead-lock a pipe.
inline ProcessResult RunProcess(const std::filesystem::path& program,
                                const std::vector<std::string>& arguments,
                                const std::filesystem::path& working_folder) {
  const std::filesystem::path out_file = working_folder / ".stdout";
  const std::filesystem::path err_file = working_folder / ".stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, working_folder.c_str());

  std::vector<std::string> all = {program.string()};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  ProcessResult result;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = SlurpFile(out_file);
  result.err = SlurpFile(err_file);
  std::filesystem::remove(out_file);
  std::filesystem::remove(err_file);
  return result;
}

}  // namespace pmk::testing
