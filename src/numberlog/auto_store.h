#pragma once

#include <optional>
#include <string>
#include <vector>

#include "numberlog/date_time_source.h"
#include "numberlog/whole_append.h"

namespace velgrin {

// The header a first number of a new type gets: thermometers put a blank line after the adapter
// line, loggers do not.
enum class HeaderStyle { kThermometer, kLogger };

// A file of the auto-store that could not be written.
struct StoreFailure {
    std::string path;
    AppendError error;
};

struct StoreOutcome {
    enum class Status {
        kStored,         // the main file has the number
        kAlreadyStored,  // stored earlier in this run; nothing written
        kNotStored,      // the main file could not be written; tried again next time
    };
    Status status = Status::kStored;
    // With kNotStored the main file's failure; with kStored a failure of the companion file.
    std::optional<StoreFailure> failure;
};

// The auto-store's bookkeeping for one run of the program and the appends to the main file and
// its byte-reversed companion.
class AutoStore {
  public:
    // The companion of "/bench/log.txt" is "/bench/log.txt_e_.txt".
    static std::string CompanionFileName(const std::string& mainFile);

    bool Listed(const std::string& number) const;

    // Appends `number` under the adapter and type headers it is due. Auto-store must be on
    // (`tmpStoreFile` not empty). A number counts as stored, and the headers as written, once
    // the main file has them; the companion is written only after that, so it never holds a
    // number the main file lacks.
    StoreOutcome Store(const std::string& number, const std::string& typeText,
                       const std::string& adapterNumber, HeaderStyle style,
                       DateTimeSource& dateTime);

    // Main file path; empty while auto-store is off.
    std::string tmpStoreFile;
    // Numbers stored in this run, in order; never cleared.
    std::vector<std::string> List;
    // The adapter line is still to be written.
    bool flgSaveSNAdapters = true;
    // The type text last written to the files.
    std::string TypeButtonStringLast;

  private:
    struct Headers {
        bool adapter = false;
        bool type = false;
    };
    static std::string FileText(const Headers& headers, const std::string& numberLine,
                                const std::string& typeText, const std::string& adapterNumber,
                                HeaderStyle style, DateTimeSource& dateTime);
};

}  // namespace velgrin
