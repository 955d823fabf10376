#pragma once

#include <QApplication>
#include <QtTest>

// QTEST_MAIN for tests that run the browser engine: the engine needs shared
// GL contexts before the application exists, and no sandbox when run as root.
#define TALVORIN_TEST_MAIN(TestClass)                                                              \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))                            \
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");                                           \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                \
        QApplication app(argc, argv);                                                              \
        app.setApplicationName(QStringLiteral("TalvorinTool"));                                    \
        app.setQuitOnLastWindowClosed(false);                                                      \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
