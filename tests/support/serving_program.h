#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace velgrin::testing {

// Another program serving something (an emulator's pseudo-terminal, a model's socket) for as
// long as the object lives: its standard output discarded (and its errors, when `quiet`), waited
// for until `ready` exists, ended with SIGTERM.
class ServingProgram {
  public:
    ServingProgram(std::vector<std::string> words, const std::string& ready, bool quiet);
    ~ServingProgram();
    ServingProgram(const ServingProgram&) = delete;
    ServingProgram& operator=(const ServingProgram&) = delete;

  private:
    pid_t pid_ = 0;
    bool started_ = false;
};

}  // namespace velgrin::testing
