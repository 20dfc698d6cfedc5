// The whole bus listed by the chip's search access command asking for many codes at once: the
// chip runs one Search ROM pass after another, each from a reset, and hands over each code.

#include <algorithm>

#include "wire/ds2490/ds2490_link.h"
#include "wire/network.h"

namespace velgrin::ds2490 {

namespace {

constexpr size_t kCodeSize = 8;
// A line carries a few hundred devices at most; a chip that lists more is not believed.
constexpr size_t kMostCodes = 4096;

// What a path that broke off stands for in a listing: a code no CRC passes, so that the network
// layer lists the bus again.
RomCode BrokenPath() {
    RomCode rom;
    rom.fill(0xFF);
    return rom;
}

}  // namespace

WireResult<Ds2490Link::Listing> Ds2490Link::listFrom(const RomCode& start, size_t codes) {
    if (auto written = usb_->bulkWrite(start); !written) {
        return written.error();
    }
    const uint16_t value = comm::kSearchAccess | comm::kImmediate | comm::kBit3 |
                           comm::kResetFirst | comm::kFlushOnError | comm::kReturnDiscrepancies;
    if (auto sent = communicate(value, static_cast<uint16_t>(codes << 8 | rom_command::kSearchRom));
        !sent) {
        return sent.error();
    }
    // The codes asked for and, when more remain, one value of 8 bytes after them.
    const size_t most = (codes + 1) * kCodeSize;
    Listing listing;
    Completion progress;
    // Reads in a row that showed no byte beyond the most seen; a search finds a code every 14 ms
    // or so, and the bytes are bounded, so the reads are too.
    int stalled = 0;
    size_t seen = 0;
    while (stalled < options_.maxStatusReads) {
        auto flags = readStatus(progress);
        if (!flags) {
            return flags.error();
        }
        for (uint8_t r : progress.results) {
            listing.outcome |= r;
        }
        progress.results.clear();
        const size_t dataIn = progress.dataIn;
        const size_t total = listing.bytes.size() + dataIn;
        if (dataIn > kFifoSize || total > most) {
            return garbled("a search (" + std::to_string(total) + " bytes)");
        }
        stalled = total > seen ? 0 : stalled + 1;
        seen = std::max(seen, total);
        const bool idle = (*flags & status::kIdle) != 0;
        // While the search runs, only whole packets are taken before the FIFO fills: more bytes
        // may arrive meanwhile, and a read shorter than the packet the chip sends fails.
        const size_t take = idle ? dataIn : dataIn / kBlockChunk * kBlockChunk;
        if (take > 0) {
            auto read = receive(take);
            if (!read) {
                return read.error();
            }
            listing.bytes.insert(listing.bytes.end(), read->begin(), read->end());
        }
        if (idle) {
            return listing;
        }
    }
    return WireError{WireErrorCode::Timeout,
                     usb_->name() + " went on searching without a code for " +
                         std::to_string(options_.maxStatusReads) + " status reads"};
}

WireResult<std::vector<RomCode>> Ds2490Link::listWholeBus(bool alarmOnly) {
    if (alarmOnly) {
        // Nobody in alarm and a path that broke off end the conditional search alike; passes
        // (searchPass) tell them apart.
        return WireError{WireErrorCode::Unsupported,
                         "this adapter lists the devices in alarm pass by pass only"};
    }
    const size_t perCommand = static_cast<size_t>(std::clamp(options_.codesPerSearch, 2, 255));
    std::vector<RomCode> codes;
    RomCode start{};
    for (;;) {
        auto listing = listFrom(start, perCommand);
        if (!listing) {
            return listing.error();
        }
        if (listing->bytes.size() % kCodeSize != 0) {
            return garbled("a search (" + std::to_string(listing->bytes.size()) + " bytes)");
        }
        // Past the codes asked for comes the value the chip would go on from; a further
        // command goes on from the last code instead, whatever that value means.
        const size_t count = std::min(listing->bytes.size() / kCodeSize, perCommand);
        std::vector<RomCode> found(count);
        for (size_t i = 0; i < count; ++i) {
            std::copy_n(listing->bytes.begin() + static_cast<ptrdiff_t>(i * kCodeSize), kCodeSize,
                        found[i].begin());
        }
        if ((listing->outcome & result::kShort) != 0) {
            if (auto initialised = initialise(); !initialised) {
                return initialised.error();
            }
            return std::vector<RomCode>{};
        }
        const bool broken = (listing->outcome & result::kNoPresence) != 0;
        if (broken && codes.empty() && found.empty()) {
            // "No presence" stands for a silent reset and for a first path that broke off alike:
            // a reset of its own tells them apart.
            auto presence = resetBus();
            if (!presence) {
                return presence.error();
            }
            if (*presence != ResetOutcome::Presence) {
                return std::vector<RomCode>{};
            }
            return std::vector<RomCode>{BrokenPath()};
        }
        if (!codes.empty()) {
            // A further command finds the last code again first.
            if (found.empty() || found.front() != codes.back()) {
                codes.push_back(BrokenPath());
                return codes;
            }
            found.erase(found.begin());
        }
        codes.insert(codes.end(), found.begin(), found.end());
        if (codes.size() > kMostCodes) {
            return garbled("a search (more than " + std::to_string(kMostCodes) + " codes)");
        }
        if (broken) {
            codes.push_back(BrokenPath());
            return codes;
        }
        if (count < perCommand || !RomCrcValid(codes.back())) {
            return codes;
        }
        start = codes.back();
    }
}

}  // namespace velgrin::ds2490
