#pragma once

#include "main_window/frmmain.h"

#include <QAction>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

// A main window started as the program starts it, from a talvorin.ini of its
// own in a temporary directory.
class StartedWindow {
public:
    frmMain &start(const QByteArray &ini)
    {
        QFile file(iniPath());
        if (!file.open(QIODevice::WriteOnly) || file.write(ini) != ini.size())
            qFatal("cannot write %s", qPrintable(iniPath()));
        file.close();
        m_window = std::make_unique<frmMain>(SettingsFile(iniPath()));
        m_unloaded = std::make_unique<QSignalSpy>(m_window.get(), &frmMain::unloaded);
        m_window->load();
        m_window->show();
        return *m_window;
    }

    QString iniPath() const { return m_dir.filePath(QStringLiteral("talvorin.ini")); }
    frmMain &window() const { return *m_window; }
    QAction *action(const char *name) const
    {
        return m_window->findChild<QAction *>(QLatin1String(name));
    }
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
    std::unique_ptr<frmMain> m_window;
    std::unique_ptr<QSignalSpy> m_unloaded;
};
