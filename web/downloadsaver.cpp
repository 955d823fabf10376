#include "web/downloadsaver.h"

#include "web/browserprofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

Q_LOGGING_CATEGORY(lcDownloads, "talvorin.downloads", QtWarningMsg)

namespace {

// Removes whatever a download that did not complete may have left: the
// whole temporary file that could not get its name, or the engine's part of
// a download that the program's end cut short.
void removeLeftovers(const QString &temporaryPath)
{
    for (const QString &path : { temporaryPath, temporaryPath + QLatin1String(kEngineSuffix) }) {
        if (QFile::exists(path) && !QFile::remove(path))
            qCDebug(lcDownloads) << "could not remove" << path;
    }
}

} // namespace

DownloadSaver::DownloadSaver(BrowserProfile *profile, Pace pace, QObject *parent)
    : QObject(parent),
      m_profile(profile),
      m_pace(pace.windowMs, pace.count),
      m_count(pace.count),
      m_progressDelayMs(pace.progressDelayMs)
{
    connect(profile->profile(), &QWebEngineProfile::downloadRequested, this, &DownloadSaver::onRequested);
    m_tick.setInterval(qMin(1000, qMax(50, m_progressDelayMs / 2)));
    connect(&m_tick, &QTimer::timeout, this, &DownloadSaver::updateProgress);
}

DownloadSaver::~DownloadSaver()
{
    for (const Running &download : std::exchange(m_running, {})) {
        if (download.request) {
            download.request->disconnect(this);
            download.request->cancel();
        }
        removeLeftovers(QDir(download.folder).filePath(temporaryFileName(download.name)));
    }
}

QString DownloadSaver::folder()
{
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return downloads.isEmpty() ? QDir::homePath() : downloads;
}

void DownloadSaver::onRequested(QWebEngineDownloadRequest *request)
{
    // Not accepting is cancelling, but said aloud here.
    if (request->isSavePageDownload()) {
        qCDebug(lcDownloads) << "refused to save a whole page";
        return request->cancel();
    }
    // The engine resumes a download that broke off as a request of its own,
    // with the same id: it goes on under the name it had.
    for (Running &download : m_running) {
        if (download.request && download.request->id() == request->id()) {
            qCDebug(lcDownloads) << "resuming" << download.name;
            download.request = request;
            return accept(request, download);
        }
    }
    const bool ownersOwn = m_profile->takeOwnersSave(request->url());
    switch (ownersOwn ? DownloadPace::Save : m_pace.take()) {
    case DownloadPace::Save:
        break;
    case DownloadPace::RefuseAndTell:
        emit message(QStringLiteral("Downloads refused"),
                     QStringLiteral("A page sent more files than it may; only %1 a minute are saved.")
                             .arg(m_count),
                     {});
        [[fallthrough]];
    case DownloadPace::Refuse:
        qCDebug(lcDownloads) << "refused, too many:" << request->suggestedFileName();
        return request->cancel();
    }
    const QString downloads = folder();
    const QString name = savedFileName(request->suggestedFileName(), takenNames(downloads));
    if (!QDir().mkpath(downloads)) {
        emit message(QStringLiteral("Could not save %1").arg(name),
                     QStringLiteral("The download folder %1 could not be made.")
                             .arg(QDir::toNativeSeparators(downloads)),
                     {});
        return request->cancel();
    }
    qCDebug(lcDownloads) << "saving" << request->suggestedFileName() << "as" << name;
    m_running.append({ request, downloads, name, {} });
    m_running.last().since.start();
    accept(request, m_running.last());
    m_tick.start();
}

void DownloadSaver::accept(QWebEngineDownloadRequest *request, const Running &download)
{
    request->setDownloadDirectory(download.folder);
    request->setDownloadFileName(temporaryFileName(download.name));
    connect(request, &QWebEngineDownloadRequest::stateChanged, this,
            [this, request] { onStateChanged(request); });
    request->accept();
}

// What is in the folder and what the running downloads will take.
QStringList DownloadSaver::takenNames(const QString &downloads) const
{
    QStringList taken = QDir(downloads).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                  | QDir::NoDotAndDotDot);
    for (const Running &download : m_running)
        taken << download.name << temporaryFileName(download.name);
    return taken;
}

void DownloadSaver::onStateChanged(QWebEngineDownloadRequest *request)
{
    const auto state = request->state();
    if (state == QWebEngineDownloadRequest::DownloadRequested
        || state == QWebEngineDownloadRequest::DownloadInProgress)
        return;
    auto found = std::find_if(m_running.begin(), m_running.end(),
                              [request](const Running &download) { return download.request == request; });
    if (found == m_running.end())
        return;
    qCDebug(lcDownloads) << found->name << state << request->interruptReasonString();
    Running download = *found;
    m_running.erase(found);
    updateProgress();

    if (state == QWebEngineDownloadRequest::DownloadCompleted)
        return giveFinalName(download);
    QString error;
    if (state == QWebEngineDownloadRequest::DownloadInterrupted) {
        // The engine's reasons for a broken connection read as if the owner had cancelled.
        error = request->interruptReason() < QWebEngineDownloadRequest::NetworkFailed
                ? QStringLiteral("The file could not be written: %1").arg(request->interruptReasonString())
                : QStringLiteral("The download broke off before it was complete.");
        // An interrupted download waits for a resume; cancelled, the engine lets go of its file.
        request->cancel();
    } else if (state == QWebEngineDownloadRequest::DownloadCancelled) {
        error = QStringLiteral("The download was cancelled.");
    }
    removeLeftovers(QDir(download.folder).filePath(temporaryFileName(download.name)));
    emit message(QStringLiteral("Could not save %1").arg(download.name), error, {});
}

// The complete file takes its name only where no file has it by now (one may
// have come meanwhile): otherwise the next free name. Where the folder gives
// it no name at all, it stays whole under the temporary one.
void DownloadSaver::giveFinalName(Running &download)
{
    const QDir dir(download.folder);
    const QString wanted = download.name;
    const QString temporaryName = temporaryFileName(download.name);
    const QUrl opens = QUrl::fromLocalFile(download.folder);
    const QString where = QDir::toNativeSeparators(download.folder);
    QString error = QStringLiteral("No free name was found.");
    for (int attempt = 0; attempt < 10; ++attempt) {
        switch (m_move(dir.filePath(temporaryName), dir.filePath(download.name), &error)) {
        case MoveResult::Moved:
            return emit message(QStringLiteral("Saved %1").arg(download.name),
                                QStringLiteral("In %1. Click to open the folder.").arg(where), opens);
        case MoveResult::MovedOldNameKept:
            return emit message(
                    QStringLiteral("Saved %1").arg(download.name),
                    QStringLiteral("In %1, where %2 names the same file: it could not be removed"
                                   " (%3). Click to open the folder.")
                            .arg(where, temporaryName, error),
                    opens);
        case MoveResult::NameTaken:
            download.name = savedFileName(wanted, takenNames(download.folder));
            continue;
        case MoveResult::Failed:
            break;
        }
        break;
    }
    qCDebug(lcDownloads) << "kept as" << temporaryName << error;
    emit message(QStringLiteral("Saved as %1").arg(temporaryName),
                 QStringLiteral("The file is complete in %1, but the folder would not name it %2"
                                " (%3). Click to open the folder.")
                         .arg(where, wanted, error),
                 opens);
}

void DownloadSaver::updateProgress()
{
    QStringList lines;
    for (const Running &download : qAsConst(m_running)) {
        if (download.request && download.since.elapsed() >= m_progressDelayMs)
            lines << progressLine(download.name, download.request->receivedBytes(),
                                  download.request->totalBytes());
    }
    if (m_running.isEmpty())
        m_tick.stop();
    const QString progress = lines.join(u'\n');
    if (progress != m_progress) {
        m_progress = progress;
        emit progressChanged(progress);
    }
}
