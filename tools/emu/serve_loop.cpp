#include "emu/serve_loop.h"

#include <errno.h>
#include <signal.h>
#include <sys/wait.h>

#include <iostream>

#include "emu/child_command.h"

namespace velgrin::emu {

namespace {

void Replug(ServedAdapter& adapter, const std::string& program, bool announceOnStdout) {
    if (auto plugged = adapter.replug(); !plugged) {
        std::cerr << program << ": " << plugged.error() << "\n";
    } else if (announceOnStdout) {
        std::cout << adapter.node() << std::endl;
    } else {
        std::cerr << program << ": adapter plugged back in at " << adapter.node() << std::endl;
    }
}

int ServeForever(ServedAdapter& adapter, const std::string& program) {
    // Scripts read the terminal's path from the first line.
    std::cout << adapter.node() << std::endl;
    const sigset_t signals = EmulatorSignals();
    for (;;) {
        int received = 0;
        if (sigwait(&signals, &received) != 0) {
            continue;
        }
        if (received == SIGUSR1) {
            adapter.unplug();
            std::cerr << program << ": adapter unplugged\n";
        } else if (received == SIGUSR2) {
            Replug(adapter, program, true);
        } else if (received != SIGCHLD) {
            return 0;
        }
    }
}

int ServeCommand(ServedAdapter& adapter, const std::vector<std::string>& command,
                 const std::string& program) {
    std::vector<std::string> settings = adapter.commandEnvironment();
    settings.push_back("VELGRIN_EMU_PORT=" + adapter.port());
    // The command's standard output stays its own.
    std::cerr << program << ": serving " << adapter.node() << " (--port " << adapter.port() << ")"
              << std::endl;
    const auto child = StartCommand(command, settings);
    if (!child) {
        std::cerr << program << ": " << child.error() << "\n";
        return 127;
    }
    const sigset_t signals = EmulatorSignals();
    for (;;) {
        int received = 0;
        if (sigwait(&signals, &received) != 0) {
            continue;
        }
        if (received == SIGCHLD) {
            int status = 0;
            const pid_t ended = waitpid(*child, &status, WNOHANG);
            if (ended == *child) {
                return ShellStatus(status);
            }
            if (ended < 0 && errno != EINTR) {
                std::cerr << program << ": lost track of " << command[0] << "\n";
                return 1;
            }
        } else if (received == SIGUSR1) {
            adapter.unplug();
            std::cerr << program << ": adapter unplugged\n";
        } else if (received == SIGUSR2) {
            Replug(adapter, program, false);
        } else if (received == SIGTERM || received == SIGHUP) {
            kill(*child, received);
        }
        // SIGINT and SIGQUIT from a terminal reach the command too; it decides when to end.
    }
}

}  // namespace

int Serve(ServedAdapter& adapter, const std::vector<std::string>& command,
          const std::string& program) {
    const int status =
        command.empty() ? ServeForever(adapter, program) : ServeCommand(adapter, command, program);
    adapter.stop();
    return status;
}

}  // namespace velgrin::emu
