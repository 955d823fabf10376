#pragma once

#include <QObject>

// Tells when the owner's screen locks and unlocks: on Linux the screen
// saver's ActiveChanged on the session bus (the freedesktop interface of KDE
// and others, GNOME's own), on Windows the session's lock notices. Without a
// session bus nothing is told.
class LockWatcher : public QObject {
    Q_OBJECT
public:
    explicit LockWatcher(QObject *parent);
    ~LockWatcher() override;

signals:
    void locked();
    void unlocked();

private slots:
    void setLocked(bool isLocked)
    {
        if (isLocked)
            emit locked();
        else
            emit unlocked();
    }

private:
    // The Windows window that hears the session's notices.
    void *m_window = nullptr;
};
