#pragma once

#include "main_window/frmmain.h"
#include "support/testhttpserver.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

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
        return QTest::qExec(&test, argc, argv);                                                    \
    }

// The talvorin.ini line that points `tag` at a page of the test server.
inline QByteArray linkLine(const char *tag, const TestHttpServer &server, const QByteArray &path)
{
    return "[" + QByteArray(tag) + "]=" + server.url(path).toLatin1() + "\r\n";
}

// A main window started as the program starts it, from a talvorin.ini of its
// own in a temporary directory. Every message box that appears meanwhile is
// answered as a user pressing OK would, and remembered.
class StartedWindow {
public:
    explicit StartedWindow(const QByteArray &ini)
    {
        QFile file(iniPath());
        if (!file.open(QIODevice::WriteOnly) || file.write(ini) != ini.size())
            qFatal("cannot write %s", qPrintable(iniPath()));
        file.close();
        m_boxes.setInterval(20);
        QObject::connect(&m_boxes, &QTimer::timeout, [this] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(widget);
                if (box && box->isVisible()) {
                    m_messages.append(box->windowTitle() + QLatin1String(": ") + box->text());
                    box->done(QMessageBox::Ok);
                }
            }
        });
        m_boxes.start();
        m_window = std::make_unique<frmMain>(SettingsFile(iniPath()));
        m_unloaded = std::make_unique<QSignalSpy>(m_window.get(), &frmMain::unloaded);
        m_window->load();
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            qWarning("the main window did not come up");
    }

    QString iniPath() const { return m_dir.filePath(QStringLiteral("talvorin.ini")); }
    frmMain &window() const { return *m_window; }
    QAction *action(const char *name) const
    {
        return m_window->findChild<QAction *>(QLatin1String(name));
    }
    QStringList messages() const { return m_messages; }
    QString lastMessage() const { return m_messages.value(m_messages.size() - 1); }
    // How often the window was unloaded for good (the program's end).
    int unloadCount() const { return int(m_unloaded->count()); }
    // The lines of talvorin.ini as saved, without their CR LF.
    QStringList savedLines() const
    {
        QFile file(iniPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
        if (lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

private:
    QTemporaryDir m_dir;
    QTimer m_boxes;
    QStringList m_messages;
    std::unique_ptr<frmMain> m_window;
    std::unique_ptr<QSignalSpy> m_unloaded;
};
