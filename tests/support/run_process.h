// Runs a program to completion and collects what it printed.
#pragma once

#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pmk::testing {

struct ProcessResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

inline std::string SlurpFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Windows programs end their lines with CR LF on standard output and error;
// the tests compare texts as written on Linux.
inline std::string WithoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

#ifdef _WIN32

// Runs the program; its exit code, or -1 when it could not be started. (In a
// file of its own: FreeImage's header, included first by some tests, hides
// <windows.h>.)
int SpawnAndWait(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const std::filesystem::path& working_folder, const std::filesystem::path& out_file,
                 const std::filesystem::path& err_file);

#else

inline int SpawnAndWait(const std::filesystem::path& program,
                        const std::vector<std::string>& arguments,
                        const std::filesystem::path& working_folder,
                        const std::filesystem::path& out_file,
                        const std::filesystem::path& err_file) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addchdir_np(&actions, working_folder.c_str());

  std::vector<std::string> all = {program.string()};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  int exit_code = -1;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  return exit_code;
}

#endif

// Runs `program` with `arguments` in `working_folder`; standard output and
// error go to files there, so large outputs cannot dead-lock a pipe.
inline ProcessResult RunProcess(const std::filesystem::path& program,
                                const std::vector<std::string>& arguments,
                                const std::filesystem::path& working_folder) {
  const std::filesystem::path out_file = working_folder / ".stdout";
  const std::filesystem::path err_file = working_folder / ".stderr";
  ProcessResult result;
  result.exit_code = SpawnAndWait(program, arguments, working_folder, out_file, err_file);
  result.out = WithoutCarriageReturns(SlurpFile(out_file));
  result.err = WithoutCarriageReturns(SlurpFile(err_file));
  std::filesystem::remove(out_file);
  std::filesystem::remove(err_file);
  return result;
}

}  // namespace pmk::testing
