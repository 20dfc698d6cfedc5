#include "serving_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "spawned_process.h"

namespace velgrin::testing {

ServingProgram::ServingProgram(std::vector<std::string> words, const std::string& ready,
                               bool quiet) {
    SpawnActions actions;
    actions.open(STDOUT_FILENO, "/dev/null", O_WRONLY);
    if (quiet) {
        actions.open(STDERR_FILENO, "/dev/null", O_WRONLY);
    }
    pid_ = Spawn(std::move(words), actions);
    started_ = pid_ > 0;
    // Waiting for another program to start up, not for the bus.
    for (int i = 0; started_ && i < 500 && !std::filesystem::exists(ready); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

ServingProgram::~ServingProgram() {
    if (started_) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

}  // namespace velgrin::testing
