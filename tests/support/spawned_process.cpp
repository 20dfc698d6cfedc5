#include "spawned_process.h"

extern char** environ;

namespace velgrin::testing {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

pid_t Spawn(std::vector<std::string> words, const SpawnActions& actions,
            std::vector<std::string>* environment) {
    std::vector<char*> argv = Pointers(words);
    std::vector<char*> envp;
    if (environment != nullptr) {
        envp = Pointers(*environment);
    }
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], actions.get(), nullptr, argv.data(),
                                    environment != nullptr ? envp.data() : environ);
    return spawned == 0 ? pid : -1;
}

}  // namespace velgrin::testing
