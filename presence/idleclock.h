#pragma once

#include <QObject>

#include <functional>

// How long the owner has given no keyboard or mouse input. X11: the
// MIT-SCREEN-SAVER extension; GNOME on Wayland: Mutter's IdleMonitor on the
// session bus; Windows: the last input's time.
class IdleClock : public QObject {
    Q_OBJECT
public:
    explicit IdleClock(QObject *parent);

    bool isAvailable() const { return m_source != Source::None; }

    // The idle time in milliseconds goes to answer, at once or a little
    // later; when the platform cannot tell, answer is never called.
    void ask(std::function<void(qint64)> answer);

private:
    enum class Source { None, X11, Mutter, Windows };
    Source m_source = Source::None;
};
