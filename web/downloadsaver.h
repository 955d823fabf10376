#pragma once

#include "web/downloadrules.h"
#include "web/filemove.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>

class BrowserProfile;
class QWebEngineDownloadRequest;

// Saves the files the pages send (an attachment, a link with `download`, an
// image the owner saves) into the user's download folder, under the name the
// page suggests made safe and never overwriting a file. Each is written under
// a temporary name that it loses only when complete, so a file with its own
// name is always whole; a failed or cancelled one leaves nothing, and a
// complete one that cannot get its name is kept under the temporary one. A
// page gets a few saved a minute, the owner's own saves not counted; saving
// whole pages is refused.
class DownloadSaver : public QObject {
    Q_OBJECT
public:
    struct Pace {
        int count;           // downloads saved within a window
        int windowMs;
        int progressDelayMs; // a download running this long shows its progress
    };
    static constexpr Pace kPace { 3, 60000, 2000 };

    DownloadSaver(BrowserProfile *profile, Pace pace, QObject *parent);
    // Downloads still running when the program ends are cancelled and leave nothing.
    ~DownloadSaver() override;

    // The user's download folder, as the desktop sets it.
    static QString folder();

    // How a complete file gets its name: renameWithoutReplacing, unless a
    // test plays a file system that refuses.
    using FileMove = std::function<MoveResult(const QString &from, const QString &to, QString *error)>;
    void setFileMove(FileMove move) { m_move = std::move(move); }

signals:
    // One line for each download running longer than the delay; empty when none.
    void progressChanged(const QString &lines);
    // A tray message; clicking it opens `opens` where that is set.
    void message(const QString &title, const QString &text, const QUrl &opens);

private:
    struct Running {
        QPointer<QWebEngineDownloadRequest> request; // the profile's, which may go first
        QString folder;
        QString name; // the saved name, chosen at the start
        QElapsedTimer since;
    };

    void onRequested(QWebEngineDownloadRequest *request);
    void accept(QWebEngineDownloadRequest *request, const Running &download);
    void onStateChanged(QWebEngineDownloadRequest *request);
    // The complete file under its own name, or kept under the temporary one; told either way.
    void giveFinalName(Running &download);
    QStringList takenNames(const QString &folder) const;
    void updateProgress();

    BrowserProfile *m_profile;
    DownloadPace m_pace;
    FileMove m_move = renameWithoutReplacing;
    int m_count;
    int m_progressDelayMs;
    QList<Running> m_running;
    QTimer m_tick;
    QString m_progress;
};
