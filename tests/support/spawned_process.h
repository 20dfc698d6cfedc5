#pragma once

#include <spawn.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace velgrin::testing {

// What a started program finds on its descriptors, in the order given.
class SpawnActions {
  public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;

    SpawnActions& open(int fd, const std::string& path, int flags, mode_t mode = 0) {
        posix_spawn_file_actions_addopen(&actions_, fd, path.c_str(), flags, mode);
        return *this;
    }
    SpawnActions& dup(int from, int to) {
        posix_spawn_file_actions_adddup2(&actions_, from, to);
        return *this;
    }
    SpawnActions& close(int fd) {
        posix_spawn_file_actions_addclose(&actions_, fd);
        return *this;
    }
    const posix_spawn_file_actions_t* get() const { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_;
};

// Starts `words` (the program's path first, no shell) with `actions`, in `environment`
// ("NAME=value" entries) or, when that is null, in this process's environment. The process id, or
// -1 when it could not be started.
pid_t Spawn(std::vector<std::string> words, const SpawnActions& actions,
            std::vector<std::string>* environment = nullptr);

}  // namespace velgrin::testing
