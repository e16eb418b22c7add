// One QApplication for every window test in the program, created on first use and never
// destroyed (the skin keeps pixmaps that must not outlive it), on the offscreen platform unless
// the environment asks for another, with the same font substitutes as the program.
#pragma once

#include <QApplication>

#include "gui/Application.h"
#include "gui/QtPlatform.h"

namespace vorna::test {

inline QApplication* EnsureGuiApp() {
    if (QApplication::instance() == nullptr) {
        gui::ChooseQtPlatform();
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_gui";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
        gui::RegisterFontSubstitutes();
    }
    return qobject_cast<QApplication*>(QApplication::instance());
}

}  // namespace vorna::test
