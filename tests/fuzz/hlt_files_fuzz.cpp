// The configuration file of `hlt set --file` and the backup of `hlt restore --file`.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/hlt_block_file.h"
#include "cli/hlt_settings_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    velgrin::cli::HltSettingsInput input;
    (void)velgrin::cli::ReadHltSettingsText("fuzz.json", text, input);
    (void)velgrin::cli::ParseBlockBackup("fuzz.txt", text);
    return 0;
}
