#include "manual_page.h"

#include <fstream>
#include <regex>
#include <sstream>

namespace velgrin::testing {

namespace {

// Font changes and the zero-width escapes scdoc puts after full stops.
std::string PlainText(const std::string& roff) {
    static const std::regex escapes(R"(\\f[BIRP]|\\&)");
    return std::regex_replace(roff, escapes, "");
}

// The page's lines with the name of the section each stands in.
template <typename Visit>
void ForEachLine(const std::string& roff, Visit visit) {
    std::istringstream lines(roff);
    std::string line;
    std::string section;
    while (std::getline(lines, line)) {
        if (line.rfind(".SH ", 0) == 0) {
            section = line.substr(4);
        } else if (line.rfind(".\\\"", 0) != 0) {
            visit(section, line);
        }
    }
}

}  // namespace

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::set<std::string> LongOptionsIn(const std::string& text) {
    static const std::regex option(R"((^|[^A-Za-z0-9-])(--[A-Za-z][A-Za-z0-9-]*))");
    std::set<std::string> options;
    const std::string plain = PlainText(text);
    for (auto it = std::sregex_iterator(plain.begin(), plain.end(), option);
         it != std::sregex_iterator(); ++it) {
        options.insert((*it)[2]);
    }
    return options;
}

std::set<std::string> PageOptions(const std::string& roff, const std::string& program) {
    std::string named;
    ForEachLine(roff, [&](const std::string& section, const std::string& line) {
        const std::string plain = PlainText(line);
        if (section != "EXAMPLES") {
            named += plain + "\n";
        } else if (plain.rfind(program + " ", 0) == 0) {
            // After " -- " comes the command line of the program it runs.
            named += plain.substr(0, plain.find(" -- ")) + "\n";
        }
    });
    return LongOptionsIn(named);
}

std::set<std::string> PagePortKinds(const std::string& roff) {
    static const std::regex entry(R"(^\\fB([a-z0-9]+):?\\fR(\\fI[A-Z]+\\fR)?$)");
    std::set<std::string> kinds;
    ForEachLine(roff, [&](const std::string& section, const std::string& line) {
        std::smatch match;
        if (section == "PORTS" && std::regex_match(line, match, entry)) {
            kinds.insert(match[1]);
        }
    });
    return kinds;
}

}  // namespace velgrin::testing
