#include "platform/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace pmk::platform {

namespace {

// Owns a posix_spawn file-actions object for the length of one start.
class SpawnActions {
 public:
  SpawnActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  ~SpawnActions() {
    if (ok_) posix_spawn_file_actions_destroy(&actions_);
  }

  // Points the three standard streams at /dev/null: a hidden child whose
  // output nobody reads must never block on a full pipe or write into the
  // host application's console.
  bool SilenceStandardStreams() {
    return ok_ && posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0 &&
           posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0) == 0 &&
           posix_spawn_file_actions_addopen(&actions_, 2, "/dev/null", O_WRONLY, 0) == 0;
  }

  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
  bool ok_ = false;
};

}  // namespace

int RunProgramAndWait(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments) noexcept {
  try {
    SpawnActions actions;
    if (!actions.SilenceStandardStreams()) return kProgramNotStarted;

    std::string program_name = program.string();
    std::vector<std::string> strings;
    strings.reserve(arguments.size() + 1);
    strings.push_back(program_name);
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(strings.size() + 1);
    for (std::string& text : strings) argv.push_back(text.data());
    argv.push_back(nullptr);

    pid_t child = 0;
    if (posix_spawn(&child, program_name.c_str(), actions.get(), nullptr, argv.data(), environ) !=
        0) {
      return kProgramNotStarted;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
      if (errno != EINTR) return kProgramNotStarted;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return kProgramNotStarted;
  } catch (...) {
    // Only the argument copies can throw (out of memory): nothing was started.
    return kProgramNotStarted;
  }
}

}  // namespace pmk::platform
