#pragma once

#include <QObject>

#include <memory>

class QLocalServer;
class QLockFile;

// One running copy per settings file. The first copy holds a lock named
// after the file's path and listens for later copies; a later copy asks the
// first one to show its window and then ends, before it has sent anything or
// put up a second tray icon. A lock left by a killed copy is stale (its
// process is gone) and is taken over.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The first copy's claim, or null when another copy runs (and has been
    // asked to show itself).
    static std::unique_ptr<SingleInstance> claim(const QString &settingsPath);
    ~SingleInstance() override;

signals:
    // A later copy was started: the user wants to see the window.
    void activationRequested();

private:
    SingleInstance(std::unique_ptr<QLockFile> lock, const QString &serverName);

    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server;
};
