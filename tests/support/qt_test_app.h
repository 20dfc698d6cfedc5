#pragma once

#include <QApplication>

#include "ui/window_fonts.h"

namespace velgrin::testing {

// The one QApplication of a test program, made on first use (offscreen under CTest).
inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "velgrin-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* made = new QApplication(argc, argv);
        LoadWindowFonts();
        return made;
    }();
    return *app;
}

}  // namespace velgrin::testing
