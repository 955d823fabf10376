#pragma once

#include "web/downloadrules.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QWebEngineDownloadRequest;
class QWebEngineProfile;

// Saves the files the pages send (an attachment, a link with `download`, an
// image the owner saves) into the user's download folder, under the name the
// page suggests made safe and never overwriting a file. Each is written under
// a temporary name that it loses only when complete, so a file with its own
// name is always whole; a failed or cancelled one leaves nothing. A page gets
// a few saved a minute; saving whole pages is refused.
class DownloadSaver : public QObject {
    Q_OBJECT
public:
    struct Pace {
        int count;           // downloads saved within a window
        int windowMs;
        int progressDelayMs; // a download running this long shows its progress
    };
    static constexpr Pace kPace { 3, 60000, 2000 };

    DownloadSaver(QWebEngineProfile *profile, Pace pace, QObject *parent);
    // Downloads still running when the program ends are cancelled and leave nothing.
    ~DownloadSaver() override;

    // The user's download folder, as the desktop sets it.
    static QString folder();

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
    // The complete file under its own name; false with `error` set when it cannot get one.
    bool giveFinalName(Running &download, QString *error);
    QStringList takenNames(const QString &folder) const;
    void updateProgress();

    DownloadPace m_pace;
    int m_count;
    int m_progressDelayMs;
    QList<Running> m_running;
    QTimer m_tick;
    QString m_progress;
};
