#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The talvorin.ini line format: eight tagged lines, CR LF after each, read and
// written whole. Everything here is plain text work; the window is reached only
// through SettingsTarget, so the rules can be held by tests directly.

enum class Link { Badge, Start, Close };

// What a settings line may act on. The main window implements it; the toggles
// are the menu actions themselves, so a replayed "[ontop]=True" flips the toggle
// exactly as a click would.
class SettingsTarget {
public:
    virtual ~SettingsTarget() = default;
    virtual void setLink(Link which, const QString &value) = 0;
    virtual void toggleAlwaysOnTop() = 0;
    virtual void toggleShowInTaskbar() = 0;
    virtual void setStartWithWindowsChecked(bool checked) = 0;
    // Outer window size in twips; already known to be greater than 100.
    virtual void setOuterHeight(double twips) = 0;
    virtual void setOuterWidth(double twips) = 0;
    // "Away when idle", a later line that files of older versions lack; a
    // target without that item has nothing to set.
    virtual void setAwayWhenIdle(bool) { }
};

// The state a save writes. Sizes are written only for a window in the normal
// state (hasSize), so a minimized or maximized window gives six lines.
struct SettingsState {
    QString badgeLink;
    QString linkStart;
    QString linkClose;
    bool alwaysOnTop = false;
    bool showInTaskbar = false;
    bool startWithWindows = false;
    bool hasSize = false;
    float height = 0; // outer height, twips
    float width = 0; // outer width, twips
    // Written as a last line only while on, so that a file without it stays
    // as older versions write and read it.
    bool awayWhenIdle = false;
};

// The state the lines leave on a window that starts with every toggle off:
// what a save would write back. A size read means a window in the normal state.
class SettingsStateTarget : public SettingsTarget {
public:
    SettingsState state;

    void setLink(Link which, const QString &value) override;
    void toggleAlwaysOnTop() override { state.alwaysOnTop = !state.alwaysOnTop; }
    void toggleShowInTaskbar() override { state.showInTaskbar = !state.showInTaskbar; }
    void setStartWithWindowsChecked(bool checked) override { state.startWithWindows = checked; }
    void setOuterHeight(double twips) override;
    void setOuterWidth(double twips) override;
    void setAwayWhenIdle(bool on) override { state.awayWhenIdle = on; }
};

// Applies one line: the first tag of the fixed order found anywhere in the
// line decides it, and every occurrence of that tag is cut out of the value.
void applySettingLine(const QString &line, SettingsTarget &target);

// Applies a whole file's text: blanks trimmed from both ends, one trailing
// CR LF / CR / LF removed, split at CR LF only, empty lines skipped.
void applySettingsText(const QString &text, SettingsTarget &target);

// Applies the file's bytes as applySettingsText(decodeSettings(bytes)) does,
// decoding a line at a time, so a large file is never held as one text.
void applySettingsFile(const QByteArray &bytes, SettingsTarget &target);

// The file's bytes for a state, every line ending in CR LF. CR and LF are
// dropped from the links so a value can never split into further lines.
QByteArray formatSettings(const SettingsState &state);

// The link without CR and LF: a link is always one line.
QString withoutLineBreaks(QString link);

// Bytes of the file to text and back, in the platform's narrow code page.
QString decodeSettings(QByteArrayView bytes);
