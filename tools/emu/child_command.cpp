#include "emu/child_command.h"

#include <spawn.h>
#include <string.h>
#include <sys/wait.h>

extern char** environ;

namespace velgrin::emu {

sigset_t EmulatorSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGCHLD}) {
        sigaddset(&signals, s);
    }
    return signals;
}

Result<pid_t, std::string> StartCommand(const std::vector<std::string>& command,
                                        const std::vector<std::string>& settings) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('=') + 1);
        bool replaced = false;
        for (const std::string& setting : settings) {
            replaced = replaced || setting.rfind(name, 0) == 0;
        }
        if (!replaced) {
            entries.push_back(text);
        }
    }
    entries.insert(entries.end(), settings.begin(), settings.end());
    std::vector<char*> envp;
    for (auto& entry : entries) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> words = command;
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    const sigset_t ours = EmulatorSignals();
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &ours);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], nullptr, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) {
        return "cannot run " + command[0] + ": " + strerror(failed);
    }
    return pid;
}

int ShellStatus(int waitStatus) {
    if (WIFSIGNALED(waitStatus)) {
        return 128 + WTERMSIG(waitStatus);
    }
    return WEXITSTATUS(waitStatus);
}

}  // namespace velgrin::emu
