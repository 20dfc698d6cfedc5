#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/text_file.h"
#include "wire/link.h"

namespace velgrin {

// A record of every exchange between the program and its adapter, for a technician who reports
// "it reads wrong here": one line per 1-Wire operation (what went on the bus and what came
// back) and one per transfer of the adapter's own bytes, each with the time since the trace
// began and the operation it served.
//
// The size is bounded: when FILE reaches its limit it becomes FILE.1 (replacing the older one)
// and FILE starts again, so the two hold the newest part, FILE.1 first.
class LinkTrace {
  public:
    static constexpr size_t kDefaultFileBytes = 8 * 1024 * 1024;

    // Checks both paths and starts FILE afresh; the message says which path failed and why.
    static Result<std::unique_ptr<LinkTrace>, std::string> Open(
        const std::string& path, const Clock& clock, size_t maxFileBytes = kDefaultFileBytes);
    ~LinkTrace();
    LinkTrace(const LinkTrace&) = delete;
    LinkTrace& operator=(const LinkTrace&) = delete;

    void line(const std::string& operation, const std::string& direction, const std::string& text);
    // Empty while every line was written; otherwise why the trace stopped.
    std::string failure() const;
    const std::string& path() const { return path_; }

  private:
    LinkTrace(std::string path, int fd, const Clock& clock, size_t maxFileBytes);
    bool put(const std::string& text);
    bool rotate();

    mutable std::mutex mutex_;
    std::string path_;
    int fd_;
    const Clock& clock_;
    uint64_t startUs_;
    size_t maxFileBytes_;
    size_t written_ = 0;
    std::string failure_;
};

// The process's trace; null (the default) records nothing. The owner keeps it alive while it
// is installed.
void InstallLinkTrace(LinkTrace* trace);

// Installs a trace for as long as it lives (none when null).
class TraceInstallation {
  public:
    explicit TraceInstallation(LinkTrace* trace) : active_(trace != nullptr) {
        if (active_) {
            InstallLinkTrace(trace);
        }
    }
    ~TraceInstallation() {
        if (active_) {
            InstallLinkTrace(nullptr);
        }
    }
    TraceInstallation(const TraceInstallation&) = delete;
    TraceInstallation& operator=(const TraceInstallation&) = delete;

  private:
    bool active_;
};

enum class AdapterDirection { Sent, Received };

// The adapter's own bytes (a serial command, a USB transfer, an I2C message), recorded under
// the 1-Wire operation under way. Each transport calls it where its bytes cross.
void TraceAdapterBytes(AdapterDirection direction, std::span<const uint8_t> bytes);

// "55 F0 00".
std::string HexText(std::span<const uint8_t> bytes);

// One public call of a Link: names the operation for the adapter bytes recorded meanwhile, and
// records what went on the bus and what came back when it ends.
class TracedOperation {
  public:
    explicit TracedOperation(const char* name, std::span<const uint8_t> sent = {});
    ~TracedOperation();
    TracedOperation(const TracedOperation&) = delete;
    TracedOperation& operator=(const TracedOperation&) = delete;

    // Records the outcome and hands it back.
    template <typename T>
    WireResult<T> ended(WireResult<T> result) {
        if (active_) {
            finish(result ? Describe(*result) : "failed: " + result.error().message);
        }
        return result;
    }
    WireResult<void> ended(WireResult<void> result);
    // For a block: the bytes read replace the bytes sent.
    WireResult<void> ended(WireResult<void> result, std::span<const uint8_t> received);

  private:
    static std::string Describe(ResetOutcome outcome);
    static std::string Describe(bool bit);
    static std::string Describe(uint8_t byte);
    static std::string Describe(const SearchPass& pass);
    static std::string Describe(const std::vector<RomCode>& roms);
    void finish(const std::string& reply);

    bool active_;
    const char* name_;
    const char* outer_;
    std::string sent_;
};

}  // namespace velgrin
