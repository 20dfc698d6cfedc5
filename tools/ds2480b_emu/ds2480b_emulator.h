#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "ds2480b_emu/ds2480b_chip.h"
#include "ds2480b_emu/pty_endpoint.h"
#include "ds2480b_emu/serial_timing.h"
#include "passive_model/passive_line.h"
#include "wire/sim/sim_bench.h"

namespace velgrin::ds2480b {

// What answers on the line: a DS2480B, or a passive adapter whose echo is the bus itself.
enum class EmulatedAdapter { Ds2480b, Passive };

struct EmulatorOptions {
    EmulatedAdapter adapter = EmulatedAdapter::Ds2480b;
    // Answer as late as a real adapter would: the serial time at the client's rate plus the
    // 1-Wire time of the operation (a passive adapter's echo ends with its character). Bytes
    // that overrun the DS2480B's input buffer are then lost.
    bool timing = false;
    // A symbolic link kept pointing at the terminal across unplug and replug.
    std::optional<std::string> linkPath;
    // The fastest rate the line carries (a cable or bridge that cannot do 115200 baud).
    uint32_t lineLimit = 115200;
    // Share of reply bytes garbled on their way to the client, and the noise's seed.
    double noiseRate = 0.0;
    uint32_t seed = 1;
};

// What went over the line and the bus since the emulator started.
struct EmulatorCounters {
    uint64_t bytesIn = 0;
    uint64_t bytesOut = 0;
    uint64_t busTimeUs = 0;
    uint64_t resets = 0;
    uint64_t slots = 0;
    uint64_t overruns = 0;
    uint64_t breaks = 0;
    uint64_t garbled = 0;  // reply bytes the noise changed
};

// A DS2480B or a passive serial adapter on a pseudo-terminal, serving a simulated bench.
class Ds2480bEmulator {
  public:
    Ds2480bEmulator(std::shared_ptr<sim::SimBench> bench, EmulatorOptions options = {});
    ~Ds2480bEmulator();

    Ds2480bEmulator(const Ds2480bEmulator&) = delete;
    Ds2480bEmulator& operator=(const Ds2480bEmulator&) = delete;

    // Opens the terminal and serves clients on a thread of its own until stop(). The calls
    // below may come from any thread; they return once the serving thread has carried them out.
    WireResult<void> start();
    void stop();
    // The path clients open.
    std::string clientPath() const;

    // The adapter is pulled out (the port disappears) and put back (a new terminal, the same
    // link, the chip powered up).
    void unplug();
    WireResult<void> replug();
    // The adapter loses its supply but the port stays: nothing is answered.
    void setPowered(bool on);
    // Garbles this share of the reply bytes from now on.
    void setNoiseRate(double rate);
    // Runs `look` on the bench between two bytes, for a look at the devices' memory.
    void withBench(const std::function<void(sim::SimBench&)>& look);

    EmulatorCounters counters() const;

  private:
    struct Reply {
        uint64_t dueUs;
        uint8_t byte;
    };

    void serve();
    // Runs `command` on the serving thread (at once when none runs).
    void perform(std::function<void()> command);
    void runCommands();
    int waitUs() const;
    void serveLineChanges();
    void receiveFromClient();
    // The passive adapter's echo of each character, as the bus gave it at the line's format.
    void echoToClient(std::span<const uint8_t> bytes, uint64_t now);
    void collectPulseEnds();
    void sendDueReplies();
    void queue(uint64_t readyUs, const std::vector<uint8_t>& bytes);
    void account();
    uint8_t maybeGarbled(uint8_t byte);

    std::shared_ptr<sim::SimBench> bench_;
    EmulatorOptions options_;
    Ds2480bChip chip_;
    std::optional<passive::PassiveLine> passive_;
    SerialTiming timing_;
    std::unique_ptr<PtyEndpoint> endpoint_;
    std::deque<Reply> replies_;
    std::mt19937 noise_;

    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    mutable std::mutex mutex_;  // guards commands_, running_, clientPath_
    std::vector<std::function<void()>> commands_;
    bool running_ = false;
    std::string clientPath_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::string lastError_;

    std::atomic<uint64_t> bytesIn_{0};
    std::atomic<uint64_t> bytesOut_{0};
    std::atomic<uint64_t> busTimeUs_{0};
    std::atomic<uint64_t> resets_{0};
    std::atomic<uint64_t> slots_{0};
    std::atomic<uint64_t> overruns_{0};
    std::atomic<uint64_t> breaks_{0};
    std::atomic<uint64_t> garbled_{0};
};

}  // namespace velgrin::ds2480b
