#pragma once

#include <QByteArray>
#include <QString>

// The texts that make the program start at login, apart from where they go.

// A desktop entry (TalvorinTool.desktop) for the XDG autostart directory
// whose Exec line starts `executable`, quoted and escaped as desktop
// entries require.
QByteArray autostartDesktopEntry(const QString &executable);

// The data of the Windows Run value: the program directory's
// TalvorinTool.exe, quoted when the path holds a blank so that Windows does
// not try "C:\Program" first.
QString runValueData(const QString &nativeProgramDir);
