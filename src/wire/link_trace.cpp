#include "wire/link_trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velgrin {

namespace {

std::atomic<LinkTrace*> installed{nullptr};
// The operation under way on this thread, for the adapter bytes recorded meanwhile.
thread_local const char* currentOperation = nullptr;

constexpr const char* kHeader = "# seconds operation direction bytes\n";
// A line never outgrows a file: longer ones are cut.
constexpr size_t kMaxLine = 4096;
constexpr size_t kLeastFileBytes = 4 * kMaxLine;

// "12.000345": whole seconds and microseconds, without the locale.
std::string Seconds(uint64_t us) {
    std::string fraction = std::to_string(us % 1000000);
    return std::to_string(us / 1000000) + "." + std::string(6 - fraction.size(), '0') + fraction;
}

std::string Padded(std::string text, size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::string OlderPath(const std::string& path) {
    return path + ".1";
}

std::string Reason(const std::string& path, const std::string& why) {
    return "--trace: " + path + " " + why;
}

}  // namespace

Result<std::unique_ptr<LinkTrace>, std::string> LinkTrace::Open(const std::string& path,
                                                                const Clock& clock,
                                                                size_t maxFileBytes) {
    if (auto older = CheckOutputPath(OlderPath(path)); !older) {
        return Reason(OlderPath(path), older.error().message);
    }
    auto opened = OpenOutputFile(path, O_TRUNC);
    if (!opened) {
        return Reason(path, opened.error().message);
    }
    std::unique_ptr<LinkTrace> trace(new LinkTrace(path, *opened, clock, maxFileBytes));
    if (!trace->put(kHeader)) {
        return trace->failure();
    }
    return trace;
}

LinkTrace::LinkTrace(std::string path, int fd, const Clock& clock, size_t maxFileBytes)
    : path_(std::move(path)),
      fd_(fd),
      clock_(clock),
      startUs_(clock.nowUs()),
      maxFileBytes_(std::max(maxFileBytes, kLeastFileBytes)) {}

LinkTrace::~LinkTrace() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::string LinkTrace::failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

void LinkTrace::line(const std::string& operation, const std::string& direction,
                     const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (fd_ < 0) {
        return;
    }
    std::string entry = Padded(Seconds(clock_.nowUs() - startUs_), 12) + " " +
                        Padded(operation, 12) + " " + Padded(direction, 9) + " " + text;
    if (entry.size() >= kMaxLine) {
        entry.resize(kMaxLine - 4);
        entry += "...";
    }
    entry += "\n";
    if (written_ + entry.size() > maxFileBytes_ && !rotate()) {
        return;
    }
    put(entry);
}

bool LinkTrace::put(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            failure_ = Reason(path_, std::string("could not be written (") +
                                         (n < 0 ? std::strerror(errno) : "nothing written") + ")");
            ::close(fd_);
            fd_ = -1;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    written_ += text.size();
    return true;
}

bool LinkTrace::rotate() {
    ::close(fd_);
    fd_ = -1;
    if (std::rename(path_.c_str(), OlderPath(path_).c_str()) != 0) {
        failure_ =
            Reason(path_, std::string("could not be renamed (") + std::strerror(errno) + ")");
        return false;
    }
    auto opened = OpenOutputFile(path_, O_TRUNC);
    if (!opened) {
        failure_ = Reason(path_, opened.error().message);
        return false;
    }
    fd_ = *opened;
    written_ = 0;
    return put(kHeader);
}

void InstallLinkTrace(LinkTrace* trace) {
    installed.store(trace);
}

std::string HexText(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

void TraceAdapterBytes(AdapterDirection direction, std::span<const uint8_t> bytes) {
    LinkTrace* trace = installed.load();
    if (trace == nullptr || bytes.empty()) {
        return;
    }
    trace->line(currentOperation != nullptr ? currentOperation : "adapter",
                direction == AdapterDirection::Sent ? "sent" : "received", HexText(bytes));
}

TracedOperation::TracedOperation(const char* name, std::span<const uint8_t> sent)
    : active_(installed.load() != nullptr), name_(name), outer_(currentOperation) {
    if (!active_) {
        return;
    }
    // A call within another (a block's first byte) counts under the outer one.
    if (outer_ == nullptr) {
        currentOperation = name;
    }
    sent_ = HexText(sent);
}

TracedOperation::~TracedOperation() {
    if (active_) {
        currentOperation = outer_;
    }
}

void TracedOperation::finish(const std::string& reply) {
    if (LinkTrace* trace = installed.load()) {
        trace->line(name_, "bus", (sent_.empty() ? "" : sent_ + " -> ") + reply);
    }
}

WireResult<void> TracedOperation::ended(WireResult<void> result) {
    if (active_) {
        finish(result ? "done" : "failed: " + result.error().message);
    }
    return result;
}

WireResult<void> TracedOperation::ended(WireResult<void> result,
                                        std::span<const uint8_t> received) {
    if (active_) {
        finish(result ? HexText(received) : "failed: " + result.error().message);
    }
    return result;
}

std::string TracedOperation::Describe(ResetOutcome outcome) {
    switch (outcome) {
        case ResetOutcome::Presence:
            return "presence";
        case ResetOutcome::Short:
            return "short";
        case ResetOutcome::NoPresence:
            break;
    }
    return "no presence";
}

std::string TracedOperation::Describe(bool bit) {
    return bit ? "1" : "0";
}

std::string TracedOperation::Describe(uint8_t byte) {
    return HexText(std::span<const uint8_t>(&byte, 1));
}

std::string TracedOperation::Describe(const SearchPass& pass) {
    return "path " + RomText(pass.path) + ", discrepancies " + RomText(pass.discrepancies);
}

std::string TracedOperation::Describe(const std::vector<RomCode>& roms) {
    std::string text = std::to_string(roms.size()) + " devices";
    for (const RomCode& rom : roms) {
        text += " " + RomText(rom);
    }
    return text;
}

}  // namespace velgrin
