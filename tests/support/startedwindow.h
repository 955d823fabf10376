#pragma once

#include "main_window/frmmain.h"
#include "support/answeredmessages.h"
#include "support/testhttpserver.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

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
        // As the program's main() has it: hidden windows do not end it.
        QApplication::setQuitOnLastWindowClosed(false);
        QFile file(iniPath());
        if (!file.open(QIODevice::WriteOnly) || file.write(ini) != ini.size() || !file.flush())
            qFatal("cannot write %s", qPrintable(iniPath()));
        m_window = std::make_unique<frmMain>(SettingsFile(iniPath()));
        m_unloaded = std::make_unique<QSignalSpy>(m_window.get(), &frmMain::unloaded);
        m_window->load();
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            qWarning("the main window did not come up");
    }

    QString iniPath() const { return m_dir.filePath(QStringLiteral("talvorin.ini")); }
    frmMain &window() const { return *m_window; }
    QAction *action(const char *name) const { return m_window->findChild<QAction *>(name); }
    QStringList messages() const { return m_messages.all(); }
    QString lastMessage() const { return m_messages.last(); }
    // How often the window was unloaded for good (the program's end).
    int unloadCount() const { return int(m_unloaded->count()); }
    // talvorin.ini as saved, and its lines without their CR LF.
    QByteArray savedBytes() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList savedLines() const
    {
        return QString::fromLatin1(savedBytes()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir m_dir;
    AnsweredMessages m_messages;
    std::unique_ptr<frmMain> m_window;
    std::unique_ptr<QSignalSpy> m_unloaded;
};
