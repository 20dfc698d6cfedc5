#include "program_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "spawned_process.h"

extern char** environ;

namespace velgrin::testing {

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Files rather than pipes: the program may write much to either stream without anyone reading.
std::string CaptureFile(const char* stream) {
    char path[] = "/tmp/velgrin-test-capture-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        throw std::runtime_error(std::string("cannot make a capture file for ") + stream);
    }
    close(fd);
    return path;
}

std::vector<std::string> Environment(const std::vector<std::string>& settings) {
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
    return entries;
}

}  // namespace

ProgramRun RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment) {
    const std::string outPath = CaptureFile("stdout");
    const std::string errPath = CaptureFile("stderr");
    std::vector<std::string> words{path};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<std::string> entries = Environment(environment);
    SpawnActions actions;
    actions.open(STDOUT_FILENO, outPath, O_WRONLY).open(STDERR_FILENO, errPath, O_WRONLY);
    const pid_t pid = Spawn(words, actions, &entries);
    if (pid < 0) {
        unlink(outPath.c_str());
        unlink(errPath.c_str());
        throw std::runtime_error("cannot start " + words[0]);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);

    ProgramRun run;
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    run.out = ReadAll(outPath);
    run.err = ReadAll(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return run;
}

}  // namespace velgrin::testing
