#include "emu/emu_arguments.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <utility>

#include "common/number_text.h"

namespace velgrin::emu {

namespace {

constexpr std::array<std::pair<const char*, AdapterKind>, 5> kKinds{{
    {"ds2480b", AdapterKind::Ds2480b},
    {"passive", AdapterKind::Passive},
    {"ds2490", AdapterKind::Ds2490},
    {"ds2482-100", AdapterKind::Ds2482_100},
    {"ds2482-800", AdapterKind::Ds2482_800},
}};

// The whole text as a number, or nothing: no sign, blanks or trailing characters slip through.
std::optional<uint32_t> WholeNumber(const std::string& text) {
    uint32_t number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc() || stop != end || text.empty() || text[0] == '-') {
        return std::nullopt;
    }
    return number;
}

}  // namespace

bool IsSerial(AdapterKind kind) {
    return kind == AdapterKind::Ds2480b || kind == AdapterKind::Passive;
}

std::string KindName(AdapterKind kind) {
    for (const auto& [name, each] : kKinds) {
        if (each == kind) {
            return name;
        }
    }
    return {};
}

std::string UsageText(const std::string& program) {
    const std::string indent(program.size() + 7, ' ');
    return "usage: " + program +
           " [--adapter KIND] [--bench FILE] [--save-bench FILE] [--timing]\n" + indent +
           "[--link PATH] [--max-baud N] [--noise RATE] [--seed N] [-- COMMAND [ARGUMENTS]]\n"
           "  --adapter KIND      ds2480b (the default), passive (a DS9097E-type adapter), "
           "ds2490,\n"
           "                      ds2482-100 or ds2482-800\n"
           "  --bench FILE        serve this bench file (default: the built-in demo bench)\n"
           "  --save-bench FILE   when serving ends, write the bench's state as a bench file\n"
           "  --timing            answer as late as a real adapter would\n"
           "  --link PATH         serial kinds: keep a symbolic link PATH to the terminal\n"
           "  --max-baud N        serial kinds: the line carries at most N baud (9600, 19200,\n"
           "                      57600 or 115200)\n"
           "  --noise RATE        serial kinds: garble this share of the reply bytes (0 to 1)\n"
           "  --seed N            serial kinds: seed of the noise\n"
           "  -- COMMAND          run COMMAND against the adapter and end with it (needed by\n"
           "                      ds2490 and ds2482-*); its environment names the port in\n"
           "                      VELGRIN_EMU_PORT\n"
           "  --help, -h          this help\n"
           "  --version           the emulator's version\n"
           "signals: SIGUSR1 unplugs the adapter, SIGUSR2 plugs it back, SIGINT/SIGTERM end.\n";
}

ArgumentsResult ParseArguments(const std::vector<std::string>& words) {
    EmuArguments arguments;
    std::optional<std::string> serialOnly;  // the first option only a serial kind takes
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--") {
            arguments.command.assign(words.begin() + static_cast<long>(i) + 1, words.end());
            if (arguments.command.empty()) {
                return std::string("-- needs a command to run after it");
            }
            break;
        }
        if (word == "--help" || word == "-h") {
            arguments.help = true;
            continue;
        }
        if (word == "--version") {
            arguments.version = true;
            continue;
        }
        if (word == "--timing") {
            arguments.serial.timing = true;
            continue;
        }
        static const std::array<const char*, 7> kValued{
            "--adapter", "--bench", "--save-bench", "--link", "--max-baud", "--noise", "--seed"};
        bool valued = false;
        for (const char* name : kValued) {
            valued = valued || word == name;
        }
        if (!valued) {
            return "unknown option " + word + " (see --help)";
        }
        if (i + 1 >= words.size()) {
            return word + " needs a value";
        }
        const std::string& value = words[++i];
        auto refuse = [&](const char* what) { return ArgumentsResult(word + " takes " + what); };
        if (word == "--adapter") {
            bool known = false;
            for (const auto& [name, kind] : kKinds) {
                if (value == name) {
                    arguments.adapter = kind;
                    known = true;
                }
            }
            if (!known) {
                return refuse("ds2480b, passive, ds2490, ds2482-100 or ds2482-800");
            }
        } else if (word == "--bench") {
            arguments.benchFile = value;
        } else if (word == "--save-bench") {
            arguments.saveBench = value;
        } else {
            serialOnly = serialOnly ? serialOnly : word;
            if (word == "--link") {
                arguments.serial.linkPath = value;
            } else if (word == "--max-baud") {
                const auto baud = WholeNumber(value);
                if (!baud || !ds2480b::CodeOfBaud(*baud)) {
                    return refuse("9600, 19200, 57600 or 115200");
                }
                arguments.serial.lineLimit = *baud;
            } else if (word == "--noise") {
                const auto rate = ParseDotNumber(value);
                if (!rate || *rate < 0 || *rate > 1) {
                    return refuse("a share from 0 to 1, such as 0.05");
                }
                arguments.serial.noiseRate = *rate;
            } else {
                const auto seed = WholeNumber(value);
                if (!seed) {
                    return refuse("a whole number from 0 to 4294967295");
                }
                arguments.serial.seed = *seed;
            }
        }
    }
    if (arguments.help || arguments.version) {
        return arguments;
    }
    const std::string kind = KindName(arguments.adapter);
    if (serialOnly && !IsSerial(arguments.adapter)) {
        return *serialOnly + " is for the serial kinds (ds2480b, passive), not " + kind;
    }
    if (arguments.command.empty() && !IsSerial(arguments.adapter)) {
        return "--adapter " + kind + " serves one command: add -- COMMAND [ARGUMENTS]";
    }
    return arguments;
}

}  // namespace velgrin::emu
