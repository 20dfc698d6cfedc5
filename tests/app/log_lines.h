#pragma once

#include <gmock/gmock.h>

#include <string>
#include <string_view>
#include <vector>

#include <QFile>
#include <QString>

namespace velgrin::testing {

// The lines of a number-log file, each ended by CR LF; a last line without one shows as
// "<no line end>", a missing file as "<no file>".
inline std::vector<std::string> LogLines(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return {"<no file>"};
    }
    const std::string content = file.readAll().toStdString();
    std::vector<std::string> lines;
    for (size_t start = 0; start < content.size();) {
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

// A type header: the type text, then the date and time of the store from the wall clock.
inline ::testing::Matcher<const std::string&> TypeLine(std::string_view type) {
    std::string pattern;
    for (const char c : type) {
        if (std::string_view("\\.+*?()[]{}|^$").find(c) != std::string_view::npos) {
            pattern += '\\';
        }
        pattern += c;
    }
    return ::testing::MatchesRegex(pattern +
                                   " [0-9]{2}\\.[0-9]{2}\\.[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}");
}

}  // namespace velgrin::testing
