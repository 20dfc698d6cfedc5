#include "cli/command.h"

namespace velgrin::cli {

CliResult<BenchSession*> CommandContext::session() {
    if (!session_) {
        auto opened = BenchSession::Open(portText_, portSettings_);
        if (!opened) {
            return opened.error();
        }
        session_ = std::move(*opened);
    }
    return session_.get();
}

CliResult<BenchSession*> ScannedSession(CommandContext& context) {
    auto session = context.session();
    if (!session) {
        return session.error();
    }
    if (auto scanned = (*session)->ScanConfirmed(); !scanned) {
        return scanned.error();
    }
    return *session;
}

CliResult<void> ExpectWords(const CommandContext& context, size_t least, size_t most,
                            const std::string& what) {
    const size_t count = context.words().size();
    if (count < least) {
        return UsageError("missing " + what);
    }
    if (count > most) {
        return UsageError("unexpected argument '" + context.words()[most] + "'");
    }
    return {};
}

}  // namespace velgrin::cli
