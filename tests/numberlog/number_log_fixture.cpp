#include "number_log_fixture.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "wire/device_table.h"
#include "wire/rom_code.h"

namespace velgrin::testing {

namespace fs = std::filesystem;

std::vector<std::string> CrLfLines(const std::string& content) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        const size_t end = content.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(content.substr(start) + "<no line end>");
            break;
        }
        lines.push_back(content.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

NumberLogTest::NumberLogTest() {
    std::string pattern = (fs::temp_directory_path() / "velgrin-numberlog-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "no temporary folder";
    }
    folder = pattern;
    logFile = folder / "log.txt";
    core.SNADAPTERS = kAdapterChip;
}

NumberLogTest::~NumberLogTest() {
    std::error_code ignored;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(folder, ignored);
}

void NumberLogTest::Rebuild(const std::vector<std::string>& romTexts) {
    core.FoundDev = 0;
    for (const std::string& romText : romTexts) {
        const auto rom = ParseRomText(romText);
        ASSERT_TRUE(rom) << romText;
        CurrentSens& sens = core.Asens[static_cast<size_t>(core.FoundDev++)];
        sens.ROMS = romText;
        sens.Family = GroupOfFamily((*rom)[0]);
    }
    frontEnd->RebuildLists();
}

void NumberLogTest::SwitchAutoStoreOn(const fs::path& file) {
    host.saveAnswers.push_back(file.string());
    surface.setChecked("ChkAutoStore", true);
    log.ChkAutoStoreClick();
}

void NumberLogTest::SwitchAutoStoreOff() {
    surface.setChecked("ChkAutoStore", false);
    log.ChkAutoStoreClick();
}

std::vector<std::string> NumberLogTest::MainLines() const {
    return CrLfLines(ReadWholeFile(logFile));
}

std::vector<std::string> NumberLogTest::CompanionLines() const {
    return CrLfLines(ReadWholeFile(Companion(logFile)));
}

fs::path NumberLogTest::Companion(const fs::path& file) const {
    return file.string() + "_e_.txt";
}

}  // namespace velgrin::testing
