#pragma once
// Runs one QtTest class in an application set up as the program sets itself up.

#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>

template <typename Test>
int run_qt_test(int argc, char* argv[]) {
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}
