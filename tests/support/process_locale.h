#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace velgrin::testing {

// Switches the C library's locale for one test, as Qt does from a user's environment, and puts
// the previous one back.
class ProcessLocale {
  public:
    explicit ProcessLocale(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
        active_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ProcessLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    ProcessLocale(const ProcessLocale&) = delete;
    ProcessLocale& operator=(const ProcessLocale&) = delete;

    // True when the locale is installed and in force, with the comma as its decimal point.
    bool commaInForce() const {
        return active_ && std::string(std::localeconv()->decimal_point) == ",";
    }

  private:
    std::string previous_;
    bool active_ = false;
};

// The locales of our users and of a second comma desktop; scripts/bootstrap generates both.
inline constexpr const char* kCommaLocales[] = {"ru_RU.UTF-8", "de_DE.UTF-8"};

}  // namespace velgrin::testing

// Fails the test (the locale must be installed) rather than passing it in the C locale.
#define ASSERT_COMMA_LOCALE(guard) \
    ASSERT_TRUE((guard).commaInForce()) << "locale not installed: run scripts/bootstrap"
