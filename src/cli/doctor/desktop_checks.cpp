#include "cli/doctor/desktop_checks.h"

#include <locale.h>

#include <algorithm>
#include <cctype>

namespace velgrin::cli::doctor {

namespace {

std::string Variable(const std::map<std::string, std::string>& environment,
                     const std::string& name) {
    const auto found = environment.find(name);
    return found == environment.end() ? "" : found->second;
}

// What LC_CTYPE comes from: LC_ALL, then LC_CTYPE, then LANG.
std::string CharacterLocale(const std::map<std::string, std::string>& environment) {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        if (std::string value = Variable(environment, name); !value.empty()) {
            return value;
        }
    }
    return "";
}

bool IsUtf8(const std::string& locale) {
    const size_t dot = locale.find('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string charset = locale.substr(dot + 1, locale.find('@', dot) - dot - 1);
    std::transform(charset.begin(), charset.end(), charset.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return charset == "utf-8" || charset == "utf8";
}

bool Installed(const std::string& locale) {
    const locale_t handle = ::newlocale(LC_CTYPE_MASK, locale.c_str(), nullptr);
    if (handle == nullptr) {
        return false;
    }
    ::freelocale(handle);
    return true;
}

Finding FontFinding(const SystemTree& tree, const std::string& folder) {
    if (tree.exists(folder + "/tahoma.ttf") && tree.exists(folder + "/tahomabd.ttf")) {
        return {"font", "Tahoma in " + folder, {}};
    }
    return {"font",
            "no Tahoma in " + folder,
            {{"the window falls back to a wider font that cuts its texts",
              "sudo apt install fonts-wine"}}};
}

Finding LocaleFinding(const std::map<std::string, std::string>& environment) {
    const std::string locale = CharacterLocale(environment);
    const std::string shown = locale.empty() ? "none set (C)" : locale;
    const std::string choose =
        "sudo dpkg-reconfigure locales, choose ru_RU.UTF-8 (or en_US.UTF-8) as the default, then "
        "log out and in again";
    if (!IsUtf8(locale)) {
        return {
            "locale",
            shown,
            {{"the locale is not UTF-8, so the program's Russian texts come out garbled", choose}}};
    }
    if (!Installed(locale)) {
        return {
            "locale",
            shown,
            {{"the locale " + locale + " is not installed, so programs fall back to C", choose}}};
    }
    return {"locale", shown, {}};
}

}  // namespace

Section CheckDesktop(const SystemTree& tree, const std::string& fontFolder,
                     const std::map<std::string, std::string>& environment) {
    return {"desktop", "window", "", {FontFinding(tree, fontFolder), LocaleFinding(environment)}};
}

}  // namespace velgrin::cli::doctor
