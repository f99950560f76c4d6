#pragma once
// Runs one QtTest class in an application set up as the program sets itself up.

#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>

#include "tests/support/scratch.h"

// Unless the test has set up its own, what the program keeps for the user
// (the journal, the cookie file, the browser profile) goes to a scratch
// folder, never to the user's own.
enum class UserFolders { scratch, as_set };

template <typename Test>
int run_qt_test(int argc, char* argv[], UserFolders folders = UserFolders::scratch) {
    quorvel::testsupport::ScratchFolder scratch;
    if (folders == UserFolders::scratch) {
        setenv("XDG_DATA_HOME", (scratch / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
    }
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    int status = 0;
    {
        QApplication application(argc, argv);
        Test test;
        status = QTest::qExec(&test, argc, argv);
    }
    return status;
}
