#include "web/callpermissions.h"

#include "web/permissions.h"

#include <algorithm>

namespace {

const char *const kKindNames[] = { "microphone", "camera", "microphone-camera", "screen" };
const char *const kKindWords[] = { "your microphone", "your camera", "your microphone and camera",
                                   "your screen" };

QString siteKey(const QUrl &origin)
{
    return origin
            .adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment
                      | QUrl::RemoveUserInfo)
            .toString();
}

QString line(const CallQuestion &question)
{
    return QLatin1String(kKindNames[int(question.kind)]) + u' ' + siteKey(question.origin);
}

// The site a remembered line is for.
QUrl siteOfLine(const QString &line)
{
    return QUrl(line.section(u' ', 1));
}

} // namespace

std::optional<CallKind> callKindOf(QWebEnginePage::Feature feature)
{
    switch (feature) {
    case QWebEnginePage::MediaAudioCapture:
        return CallKind::Microphone;
    case QWebEnginePage::MediaVideoCapture:
        return CallKind::Camera;
    case QWebEnginePage::MediaAudioVideoCapture:
        return CallKind::MicrophoneAndCamera;
    case QWebEnginePage::DesktopVideoCapture:
    case QWebEnginePage::DesktopAudioVideoCapture:
        return CallKind::Screen;
    default:
        return std::nullopt;
    }
}

QString CallQuestion::site() const
{
    // A page of the owner's own disk has no host.
    return origin.host().isEmpty() ? QStringLiteral("This page") : origin.host();
}

QString CallQuestion::text() const
{
    return site() + QStringLiteral(" wants to use ") + QLatin1String(kKindWords[int(kind)]);
}

bool CallQuestion::operator==(const CallQuestion &other) const
{
    return kind == other.kind && isSameSite(origin, other.origin);
}

CallPermissions::CallPermissions(const QStringList &allowed, const QStringList &blocked)
{
    for (const QString &line : blocked)
        m_remembered.insert(line, false);
    for (const QString &line : allowed)
        m_remembered.insert(line, true);
}

CallPermissions::Reply CallPermissions::request(const CallRequest &request)
{
    const CallQuestion question { request.origin, *callKindOf(request.feature) };
    const auto remembered = m_remembered.constFind(line(question));
    if (remembered != m_remembered.cend())
        return *remembered ? Reply::Allow : Reply::Block;
    for (Pending &pending : m_pending) {
        if (pending.question == question) {
            pending.waiting.append(request);
            return Reply::Waits;
        }
    }
    m_pending.append({ question, { request } });
    return Reply::Ask;
}

std::optional<CallQuestion> CallPermissions::question() const
{
    if (m_pending.isEmpty())
        return std::nullopt;
    return m_pending.first().question;
}

QList<CallRequest> CallPermissions::answer(bool allow, bool remember)
{
    if (m_pending.isEmpty())
        return {};
    const Pending answered = m_pending.takeFirst();
    if (remember)
        m_remembered.insert(line(answered.question), allow);
    return answered.waiting;
}

void CallPermissions::drop(const CallRequest &request)
{
    for (Pending &pending : m_pending) {
        pending.waiting.removeIf([&request](const CallRequest &waiting) {
            return waiting.page == request.page && waiting.feature == request.feature
                    && isSameSite(waiting.origin, request.origin);
        });
    }
    dropUnwaited();
}

QList<CallRequest> CallPermissions::drop(const QObject *page)
{
    QList<CallRequest> dropped;
    for (Pending &pending : m_pending) {
        pending.waiting.removeIf([page, &dropped](const CallRequest &waiting) {
            if (waiting.page == page)
                dropped.append(waiting);
            return waiting.page == page;
        });
    }
    dropUnwaited();
    return dropped;
}

void CallPermissions::dropUnwaited()
{
    m_pending.removeIf([](const Pending &pending) { return pending.waiting.isEmpty(); });
}

bool CallPermissions::remembers(const QUrl &site) const
{
    const QStringList lines = m_remembered.keys();
    return std::any_of(lines.cbegin(), lines.cend(),
                       [&site](const QString &line) { return isSameSite(siteOfLine(line), site); });
}

void CallPermissions::forget(const QUrl &site)
{
    for (auto entry = m_remembered.begin(); entry != m_remembered.end();)
        entry = isSameSite(siteOfLine(entry.key()), site) ? m_remembered.erase(entry) : ++entry;
}

QStringList CallPermissions::remembered(bool allowed) const
{
    QStringList lines;
    for (auto entry = m_remembered.cbegin(); entry != m_remembered.cend(); ++entry) {
        if (entry.value() == allowed)
            lines.append(entry.key());
    }
    return lines;
}
