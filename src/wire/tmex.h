#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "wire/link.h"
#include "wire/network.h"
#include "wire/port_registry.h"

namespace velgrin {

// Negative driver results and what they mean.
namespace tmex_error {
inline constexpr int16_t kNoSuchPort = -1;      // port number or type names no adapter
inline constexpr int16_t kPortBusy = -2;        // another program holds the port
inline constexpr int16_t kPortFailed = -3;      // the port could not be opened
inline constexpr int16_t kAdapterFailed = -12;  // the adapter stopped answering
inline constexpr int16_t kInterrupted = -13;    // the bus sequence was cut; restart from a reset
inline constexpr int16_t kInvalidSession = -200;
}  // namespace tmex_error

// The per-session state the driver keeps for its caller: the current device and the search.
struct TmexState {
    RomCode currentRom{};
    SearchState search;
};

// The 1-Wire driver under the vendor's call names and result conventions. One adapter stays open
// across sessions on the same port; each session start hands out a new handle and makes the
// older ones invalid.
class TmexDriver {
  public:
    // `defaultPort` is what --port named. Without it the default port is the adapter of a
    // kind that has exactly one attached (a lone DS2490), else there is none.
    TmexDriver(PortRegistry registry, std::optional<PortSpec> defaultPort);
    ~TmexDriver();

    int16_t TMReadDefaultPort(int16_t& portNum, int16_t& portType);
    int16_t Get_Version(std::string& text);
    int16_t TMGetTypeVersion(int16_t portType, std::string& text);
    int32_t TMExtendedStartSession(int16_t portNum, int16_t portType);
    int16_t TMSetup(int32_t handle);
    int16_t TMEndSession(int32_t handle);
    int16_t TMValidSession(int32_t handle);
    int16_t TMFirst(int32_t handle, TmexState& state);
    int16_t TMNext(int32_t handle, TmexState& state);
    // rom: 8 words, one byte value each. Word 0 zero: read the current ROM; else make it current.
    int16_t TMRom(int32_t handle, TmexState& state, std::span<int16_t> rom);
    int16_t TMAccess(int32_t handle, TmexState& state);
    int16_t TMStrongAccess(int32_t handle, TmexState& state);
    int16_t TMTouchByte(int32_t handle, int16_t byte);
    // The whole block in one call to the adapter, the bytes read replacing those sent (0xFF
    // reads); the count of bytes, or an error. A block cannot be split by the adapter's own
    // traffic where the adapter can keep it whole.
    int16_t TMBlockIO(int32_t handle, std::span<uint8_t> bytes);
    // One time slot: 1 reads, 0 writes a zero; the bit the bus gave.
    int16_t TMTouchBit(int32_t handle, int16_t bit);
    // (0,1,2): strong pull-up after the next byte; (0,1,1): after the next bit; (0,0,0): normal.
    int16_t TMOneWireLevel(int32_t handle, int16_t operation, int16_t level, int16_t prime);
    // type 0: CRC8 with an 8-bit seed; type 1: CRC16. The CRC over a block and its own CRC8 is 0.
    static int16_t TMCRC(std::span<const uint8_t> bytes, uint16_t seed, int16_t type);

    // Forgets which adapter the port led to, so that the next complete search takes whatever
    // adapter is there as the one to hold to. The window's poll tick calls it; a command never
    // does, so that it ends on the adapter it began on.
    void forgetAdapter();

    // Why the last call failed, for people ("port /dev/ttyUSB0 is in use by another program").
    const std::string& lastError() const { return lastError_; }
    const PortRegistry& registry() const { return registry_; }
    // The open adapter, for diagnostics and benchmarks; null while none is open.
    Link* link() { return link_.get(); }

  private:
    // What tells this adapter from another on the same path: its ID chip, else the devices its
    // bus held at the last complete search.
    struct AdapterIdentity {
        std::optional<RomCode> idChip;
        std::vector<RomCode> devices;
    };

    void detectDefaultPort();
    WireResult<void> openLink();
    // 1 when the bus may be used; else the failure result, with lastError() set: the adapter was
    // replaced, or could not be confirmed after a reopen. Recognising the adapter searches the
    // bus, so a call in the middle of a sequence (`Step::Within`) fails after it: the selection
    // it continued is gone.
    enum class Step { Starts, Within };
    int16_t adapterConfirmed(Step step = Step::Starts);
    WireResult<bool> sameAdapter();
    void noteFound(const RomCode& rom);
    void noteSearchEnded(std::vector<RomCode> devices);
    std::optional<PortSpec> specFor(int16_t portNum, int16_t portType) const;
    bool usable(int32_t handle);
    int16_t fail(const WireError& error);

    PortRegistry registry_;
    std::optional<PortSpec> defaultPort_;
    std::optional<PortSpec> detectedPort_;
    std::optional<PortSpec> openSpec_;
    std::unique_ptr<Link> link_;
    std::unique_ptr<Network> network_;
    std::optional<AdapterIdentity> identity_;
    // The link opened its port again since the identity was confirmed.
    bool identityPending_ = false;
    uint64_t selfReopeningsSeen_ = 0;
    // Set when another adapter turned up on the port: every call fails with it.
    std::string replaced_;
    int32_t currentHandle_ = 0;
    int32_t lastHandle_ = 0;
    std::string lastError_;
};

}  // namespace velgrin
