#include "presence/guardian.h"

#include "presence/exitrequest.h"
#include "presence/guardianprotocol.h"
#include "presence/statusrequester.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QSocketNotifier>

#include <cstdio>
#include <cstring>

namespace {

const char kSendSwitch[] = "--talvorin-send-exit-link";

} // namespace

Guardian *Guardian::s_running = nullptr;

// Beside the program in a build folder and on Windows; installed, in the
// program's own folder under libexec, found from where the program is.
QString Guardian::executable()
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString &path : { dir + QStringLiteral("/" TALVORIN_GUARDIAN_NAME),
                                 QDir::cleanPath(dir + QStringLiteral("/" TALVORIN_GUARDIAN_FROM_BINDIR)) })
        if (QFileInfo(path).isExecutable())
            return path;
    return QString();
}

std::optional<int> Guardian::runIfAsked(int argc, char **argv)
{
    if (argc != 2 || std::strcmp(argv[1], kSendSwitch) != 0)
        return std::nullopt;
    std::string link;
    char bytes[4096];
    while (const std::size_t read = std::fread(bytes, 1, sizeof bytes, stdin))
        link.append(bytes, read);
    // The program's own request, with the proxy of the environment it inherited.
    QCoreApplication app(argc, argv);
    QNetworkAccessManager network;
    ExitRequest request(&network, nullptr);
    QObject::connect(&request, &ExitRequest::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    request.send(QString::fromStdString(link));
    qCDebug(lcStatus) << "guardian: the program ended owing its exit link";
    return app.exec();
}

void Guardian::setOwedExitLink(const QString &link)
{
    if (m_exiting || link == m_owed)
        return;
    m_owed = link;
    using State = GuardianProtocol::State;
    tell(GuardianProtocol::message(link.isEmpty() ? State::Disarmed : State::Armed,
                                   link.toStdString()));
}

void Guardian::exitSending(const QString &link)
{
    m_exiting = true;
    tell(GuardianProtocol::message(GuardianProtocol::State::Sending, link.toStdString()));
}

void Guardian::exitDone()
{
    tell(GuardianProtocol::message(GuardianProtocol::State::Done));
}

bool Guardian::hasSentExitLink()
{
    listen();
    return m_sent;
}

void Guardian::tell(std::string word)
{
    // A word cut short must be ended before the next one can count.
    m_unsent = m_midWord ? m_unsent + word : std::move(word);
    flush();
}
