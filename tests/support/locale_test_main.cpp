#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

// Every test program runs under the locale its environment names, as the program does once Qt
// has set it: under LC_ALL=ru_RU.UTF-8 the C library's decimal point is a comma for every test.
int main(int argc, char** argv) {
    if (std::setlocale(LC_ALL, "") == nullptr && std::getenv("LC_ALL") != nullptr) {
        std::fprintf(stderr,
                     "the locale LC_ALL=%s is not installed (scripts/bootstrap generates "
                     "ru_RU.UTF-8 and de_DE.UTF-8)\n",
                     std::getenv("LC_ALL"));
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
