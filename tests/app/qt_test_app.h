#pragma once

#include <QApplication>

namespace velgrin::testing {

// The one QApplication of a test program, made on first use (offscreen under CTest).
inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "velgrin-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace velgrin::testing
