#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/bench_session.h"
#include "cli/scan_poll.h"
#include "common/plain_surface.h"
#include "hlt/hlt_core.h"

namespace velgrin::cli {

// One multisensor of the last search, reached through the multisensor core the way the settings
// dialog reaches it; its controls are a plain surface the tool reads back.
class HltDevice {
  public:
    // The HLT with that ROM text: a failure when the bus does not have it, a usage error when
    // the device is something else.
    static CliResult<std::unique_ptr<HltDevice>> Find(BenchSession& session,
                                                      const std::string& rom);

    // What opening the settings dialog does: measures the device and reads its configuration
    // into HLT_Buf and the dialog's controls. A failure when either part got no answer, since
    // the buffer would then hold nothing of this device, or when a page of the block failed its
    // CRC check. Read again as the retry rule allows.
    CliResult<void> Read();

    // Pages 3 to 6 as the device holds them now; a failure names the page that could not be
    // read intact.
    CliResult<HltBlock> ReadBlock();

    // Writes the four pages of the block as they are, each through the core's verified page
    // write, after reading the block the device holds; a page that fails puts that block back
    // (the core's messages say how it went). A failure, with nothing written, when the block
    // could not be read first.
    CliResult<void> WritePages(const HltBlock& block);

    // The messages the core has shown since the last call, as it worded them.
    std::vector<std::string> takeMessages();

    HltCore& core() { return core_; }
    HltState& state() { return state_; }
    PlainSurface& dialog() { return dialog_; }
    const std::string& rom() const { return rom_; }
    int index() const { return index_; }

  private:
    HltDevice(BenchSession& session, std::string rom, int index);
    CliResult<void> ReadOnce();

    BenchSession& session_;
    std::string rom_;
    int index_;
    ScanPoll poll_;
    HltState state_;
    HltCore core_;
    PlainSurface dialog_;
    size_t messagesTaken_;
};

// The block bytes held in HLT_Buf.
HltBlock BlockOf(const HltState& state);

}  // namespace velgrin::cli
