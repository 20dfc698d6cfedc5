#include "cli_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace velgrin::cli::testing {

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Files rather than pipes: the tool may write much to either stream without anyone reading.
std::string CaptureFile(const char* stream) {
    char path[] = "/tmp/velgrin-cli-test-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        throw std::runtime_error(std::string("cannot make a capture file for ") + stream);
    }
    close(fd);
    return path;
}

}  // namespace

CliRun RunTool(const std::vector<std::string>& arguments) {
    const std::string outPath = CaptureFile("stdout");
    const std::string errPath = CaptureFile("stderr");
    std::vector<std::string> words{VELGRIN_CLI_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + words[0]);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);

    CliRun run;
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    run.out = ReadAll(outPath);
    run.err = ReadAll(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return run;
}

}  // namespace velgrin::cli::testing
