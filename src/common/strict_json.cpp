#include "common/strict_json.h"

#include <set>
#include <vector>

namespace velgrin {

namespace {

using Json = nlohmann::json;

struct DuplicateKey {
    std::string key;
};

// nlohmann says "[json.exception.parse_error.101] parse error at line 3, column 10: syntax error
// ..."; keep "3:10" and the problem.
JsonRefusal FromParseError(const Json::parse_error& e) {
    const std::string what = e.what();
    const auto line = what.find("line ");
    const auto column = what.find(", column ", line);
    const auto problem = what.find(": ", column);
    if (line == std::string::npos || column == std::string::npos || problem == std::string::npos) {
        const auto bracket = what.find("] ");
        return {"", bracket == std::string::npos ? what : what.substr(bracket + 2)};
    }
    return {what.substr(line + 5, column - line - 5) + ":" +
                what.substr(column + 9, problem - column - 9),
            what.substr(problem + 2)};
}

}  // namespace

std::string JsonRefusal::describe(const std::string& origin) const {
    return origin + (where.empty() ? "" : ":" + where) + ": " + problem;
}

Result<Json, JsonRefusal> ParseStrictJson(std::string_view text) {
    // nlohmann's lexer takes a NUL byte for the end of the input.
    if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
        return JsonRefusal{"", "a NUL byte at byte " + std::to_string(nul + 1)};
    }
    std::vector<std::set<std::string>> openObjects;
    const Json::parser_callback_t noDuplicates = [&openObjects](int, Json::parse_event_t event,
                                                                Json& parsed) {
        if (event == Json::parse_event_t::object_start) {
            openObjects.emplace_back();
        } else if (event == Json::parse_event_t::object_end && !openObjects.empty()) {
            openObjects.pop_back();
        } else if (event == Json::parse_event_t::key && !openObjects.empty() &&
                   !openObjects.back().insert(parsed.get<std::string>()).second) {
            throw DuplicateKey{parsed.get<std::string>()};
        }
        return true;
    };
    try {
        return Json::parse(text.begin(), text.end(), noDuplicates);
    } catch (const DuplicateKey& duplicate) {
        return JsonRefusal{"", "the key \"" + duplicate.key + "\" appears twice in one object"};
    } catch (const Json::parse_error& e) {
        return FromParseError(e);
    } catch (const Json::exception& e) {
        // 406: a number beyond a double.
        const std::string what = e.what();
        const auto bracket = what.find("] ");
        return JsonRefusal{"", bracket == std::string::npos ? what : what.substr(bracket + 2)};
    }
}

}  // namespace velgrin
