#pragma once

#include "settings/settingsfile.h"

class QWidget;
struct SettingsState;

// Saves the whole state to talvorin.ini at every change. A file that cannot
// be saved leaves the program going with its state in memory and the old
// file whole; the owner hears of it once a run, in front of `window`.
class SettingsSaver {
public:
    SettingsSaver(const SettingsFile &file, QWidget *window) : m_file(file), m_window(window) { }

    const SettingsFile &file() const { return m_file; }
    // Quiet: the program is ending anyway, a message would hold it up.
    void save(const SettingsState &state, bool quiet = false);

private:
    SettingsFile m_file;
    QWidget *m_window;
    bool m_failureShown = false;
};
