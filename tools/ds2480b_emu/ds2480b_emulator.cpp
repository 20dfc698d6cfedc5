#include "ds2480b_emu/ds2480b_emulator.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <future>

namespace velgrin::ds2480b {

namespace {

// While a finite pulse runs on a bench clock that does not follow the wall clock, the loop looks
// at it this often.
constexpr int kPulseCheckUs = 20'000;

uint64_t WallUs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

}  // namespace

Ds2480bEmulator::Ds2480bEmulator(std::shared_ptr<sim::SimBench> bench, EmulatorOptions options)
    : bench_(std::move(bench)),
      options_(std::move(options)),
      chip_(*bench_),
      noise_(options_.seed) {
    chip_.setLineLimit(options_.lineLimit);
    if (options_.adapter == EmulatedAdapter::Passive) {
        passive_.emplace(*bench_);
    }
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
    }
}

Ds2480bEmulator::~Ds2480bEmulator() {
    stop();
    endpoint_.reset();
    ::close(wakeRead_);
    ::close(wakeWrite_);
}

WireResult<void> Ds2480bEmulator::start() {
    if (wakeRead_ < 0) {
        return WireError{WireErrorCode::Io, "the emulator cannot make its wake-up pipe"};
    }
    auto endpoint = PtyEndpoint::Create(options_.linkPath);
    if (!endpoint) {
        return endpoint.error();
    }
    endpoint_ = std::move(*endpoint);
    {
        std::lock_guard lock(mutex_);
        clientPath_ = endpoint_->clientPath();
        running_ = true;
    }
    thread_ = std::thread([this] { serve(); });
    return {};
}

std::string Ds2480bEmulator::clientPath() const {
    std::lock_guard lock(mutex_);
    return clientPath_;
}

void Ds2480bEmulator::perform(std::function<void()> command) {
    std::promise<void> done;
    auto finished = done.get_future();
    {
        std::unique_lock lock(mutex_);
        if (!running_) {
            lock.unlock();
            command();
            return;
        }
        commands_.push_back([&] {
            command();
            done.set_value();
        });
    }
    const char wake = 1;
    (void)::write(wakeWrite_, &wake, 1);
    finished.wait();
}

void Ds2480bEmulator::runCommands() {
    std::array<char, 64> drain{};
    while (::read(wakeRead_, drain.data(), drain.size()) > 0) {
    }
    std::vector<std::function<void()>> commands;
    {
        std::lock_guard lock(mutex_);
        commands.swap(commands_);
    }
    for (auto& command : commands) {
        command();
    }
}

void Ds2480bEmulator::stop() {
    if (!thread_.joinable()) {
        return;
    }
    stopping_ = true;
    const char wake = 1;
    (void)::write(wakeWrite_, &wake, 1);
    thread_.join();
    std::vector<std::function<void()>> leftover;
    {
        std::lock_guard lock(mutex_);
        running_ = false;
        leftover.swap(commands_);
    }
    for (auto& command : leftover) {
        command();
    }
}

void Ds2480bEmulator::unplug() {
    perform([this] {
        replies_.clear();
        chip_.setPowered(false);
        endpoint_->unplug();
    });
}

WireResult<void> Ds2480bEmulator::replug() {
    perform([this] {
        lastError_.clear();
        if (auto plugged = endpoint_->replug(); !plugged) {
            lastError_ = plugged.error().message;
            return;
        }
        timing_.reset();
        chip_.setPowered(true);
        std::lock_guard lock(mutex_);
        clientPath_ = endpoint_->clientPath();
    });
    if (!lastError_.empty()) {
        return WireError{WireErrorCode::Io, lastError_};
    }
    return {};
}

void Ds2480bEmulator::setPowered(bool on) {
    perform([this, on] {
        if (!on) {
            replies_.clear();
        }
        chip_.setPowered(on);
    });
}

void Ds2480bEmulator::setNoiseRate(double rate) {
    perform([this, rate] { options_.noiseRate = rate; });
}

void Ds2480bEmulator::withBench(const std::function<void(sim::SimBench&)>& look) {
    perform([this, &look] { look(*bench_); });
}

EmulatorCounters Ds2480bEmulator::counters() const {
    return EmulatorCounters{bytesIn_, bytesOut_, busTimeUs_, resets_,
                            slots_,   overruns_, breaks_,    garbled_};
}

void Ds2480bEmulator::account() {
    const auto& bus = bench_->bus();
    busTimeUs_ = bus.busTimeUs();
    resets_ = bus.resets();
    slots_ = bus.slots();
}

int Ds2480bEmulator::waitUs() const {
    int64_t wait = -1;
    auto consider = [&](int64_t us) {
        us = std::max<int64_t>(us, 0);
        wait = wait < 0 ? us : std::min(wait, us);
    };
    if (!replies_.empty()) {
        consider(static_cast<int64_t>(replies_.front().dueUs) - static_cast<int64_t>(WallUs()));
    }
    if (const auto ends = chip_.pulseEndsAtUs()) {
        const auto now = static_cast<int64_t>(bench_->clock().nowUs());
        consider(std::min<int64_t>(static_cast<int64_t>(*ends) - now, kPulseCheckUs));
    }
    return static_cast<int>(std::min<int64_t>(wait, 1'000'000'000));
}

void Ds2480bEmulator::serve() {
    while (!stopping_) {
        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        fds[count++] = pollfd{wakeRead_, POLLIN, 0};
        fds[count++] = pollfd{endpoint_->watchFd(), POLLIN, 0};
        const bool listening = endpoint_->plugged() && endpoint_->clientPresent();
        if (listening) {
            fds[count++] = pollfd{endpoint_->masterFd(), POLLIN, 0};
        }
        const int wait = waitUs();
        timespec timeout{wait / 1'000'000, static_cast<long>(wait % 1'000'000) * 1000};
        ::ppoll(fds.data(), count, wait < 0 ? nullptr : &timeout, nullptr);
        if (fds[0].revents != 0) {
            runCommands();
        }
        serveLineChanges();
        if (listening && (fds[2].revents & POLLIN) != 0) {
            receiveFromClient();
        }
        collectPulseEnds();
        sendDueReplies();
    }
}

void Ds2480bEmulator::serveLineChanges() {
    const auto changes = endpoint_->takeChanges();
    for (size_t i = 0; i < changes.size(); ++i) {
        replies_.clear();
        timing_.reset();
        if (changes[i] == PtyEndpoint::Change::FirstOpened) {
            // A client opening the port is the break a pseudo-terminal cannot carry.
            chip_.masterReset();
            ++breaks_;
        } else if (i + 1 == changes.size()) {
            // Nobody is there: what the last client wrote and nobody read is stale.
            endpoint_->discardInput();
        }
    }
}

void Ds2480bEmulator::receiveFromClient() {
    std::array<uint8_t, 512> buffer{};
    const size_t n = endpoint_->read(buffer);
    if (n == 0) {
        return;
    }
    bytesIn_ += n;
    const uint64_t now = WallUs();
    if (passive_) {
        echoToClient(std::span(buffer).first(n), now);
        account();
        return;
    }
    const uint32_t clientBaud = endpoint_->clientBaud();
    for (size_t i = 0; i < n; ++i) {
        if (!options_.timing) {
            queue(0, chip_.receive(buffer[i]).replies);
            continue;
        }
        const uint64_t arrival = timing_.arrive(now, clientBaud);
        if (!timing_.accept(arrival)) {
            ++overruns_;
            continue;
        }
        const ChipStep step = chip_.receive(buffer[i]);
        queue(timing_.execute(arrival, step.busUs), step.replies);
    }
    account();
}

void Ds2480bEmulator::echoToClient(std::span<const uint8_t> bytes, uint64_t now) {
    const passive::UartFormat format{endpoint_->clientBaud(), endpoint_->clientDataBits()};
    for (uint8_t byte : bytes) {
        bench_->catchUp();
        // Without power, unplugged or above the line's rate the echo is lost: a silent line.
        if (!chip_.powered() || bench_->unplugged || format.baud > options_.lineLimit) {
            continue;
        }
        const uint8_t echo = passive_->receive(byte, format);
        // The echo is complete when the character has left: both ends share the line's time.
        const uint64_t due =
            options_.timing ? timing_.arrive(now, format.baud, format.dataBits + 2) : 0;
        replies_.push_back(Reply{due, echo});
    }
}

void Ds2480bEmulator::collectPulseEnds() {
    const auto replies = chip_.tick();
    queue(WallUs(), replies);
}

void Ds2480bEmulator::queue(uint64_t readyUs, const std::vector<uint8_t>& bytes) {
    for (uint8_t byte : bytes) {
        const uint64_t due = options_.timing ? timing_.transmit(readyUs, chip_.baud()) : 0;
        replies_.push_back(Reply{due, byte});
    }
}

uint8_t Ds2480bEmulator::maybeGarbled(uint8_t byte) {
    if (options_.noiseRate <= 0.0 ||
        std::uniform_real_distribution<double>(0.0, 1.0)(noise_) >= options_.noiseRate) {
        return byte;
    }
    ++garbled_;
    return static_cast<uint8_t>(byte ^ std::uniform_int_distribution<int>(1, 255)(noise_));
}

void Ds2480bEmulator::sendDueReplies() {
    if (replies_.empty()) {
        return;
    }
    const uint64_t now = WallUs();
    std::vector<uint8_t> out;
    while (!replies_.empty() && replies_.front().dueUs <= now) {
        out.push_back(maybeGarbled(replies_.front().byte));
        replies_.pop_front();
    }
    if (!out.empty()) {
        endpoint_->write(out);
        bytesOut_ += out.size();
    }
}

}  // namespace velgrin::ds2480b
