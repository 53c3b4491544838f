// A Qt Test main that gives the test binary its own settings and data homes, so no test ever
// reads or writes the real home, and runs on the offscreen platform unless told otherwise.
#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#define TEMBREL_TEST_MAIN(TestClass)                                                                                   \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        QTemporaryDir home;                                                                                            \
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());                                                \
        qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());                                                    \
        qputenv("HOME", home.path().toUtf8());                                                                         \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                                            \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                                   \
        QApplication app(argc, argv);                                                                                  \
        QApplication::setQuitOnLastWindowClosed(false);                                                                \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
