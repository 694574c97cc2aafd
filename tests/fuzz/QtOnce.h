#pragma once

// The application object that Qt's text and font code expects, made once per process on the
// offscreen platform so that no display is needed.
#include <QGuiApplication>

#include <cstdlib>

inline void ensureQtApplication()
{
    static QGuiApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "fuzz";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
}
