#include "web/badgepage.h"

#include "web/badgeclick.h"

#include <QPointer>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineSettings>

Q_LOGGING_CATEGORY(lcBadge, "talvorin.badge", QtWarningMsg)

namespace {

// Run apart from the page's own scripts, so the page cannot change what they
// see; the DOM and the events a click raises are the page's own.
const int kWorld = QWebEngineScript::ApplicationWorld;

const char kReadBody[] = R"(
    [document.readyState, document.body ? document.body.innerHTML : null]
)";

const char kClickFirstAnchor[] = R"((function () {
    var all = document.all;
    for (var i = 0; i < all.length; ++i) {
        if (all[i].nodeName === 'A') {
            all[i].click();
            return true;
        }
    }
    return false;
})())";

// How long a load or a script may go unanswered before the renderer is
// taken for hung.
const qint64 kHungAfterMs = 5000;
// How long after the chat has loaded the badge may rest.
const int kRestAfterChatMs = 1000;

} // namespace

BadgePage::BadgePage(QWebEngineProfile *profile, NavigationRule allows, WindowRouter routeChat,
                     WindowRouter routeLogin, const QString &previousHtml, QObject *parent)
    : WebPage(profile, std::move(allows), parent),
      m_routeChat(std::move(routeChat)),
      m_routeLogin(std::move(routeLogin)),
      m_badgeHtml(previousHtml)
{
    setObjectName(QStringLiteral("badgePage"));
    // The click is the program's, not a user's gesture: without this the
    // engine would block the chat window as a pop-up.
    settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    connect(this, &QWebEnginePage::loadFinished, this, &BadgePage::onLoadFinished);
    connect(this, &QWebEnginePage::renderProcessTerminated, this,
            [this](RenderProcessTerminationStatus status) {
                m_waitingSince.invalidate();
                if (status != NormalTerminationStatus)
                    recoverOnce();
            });
}

void BadgePage::loadBadge(const QUrl &url)
{
    m_badgeUrl = url;
    m_waitingSince.start();
    if (lifecycleState() == LifecycleState::Discarded) {
        // Woken, a resting badge would restore its last page from the cache;
        // the load below replaces that with the badge as the service has it now.
        setLifecycleState(LifecycleState::Active);
        qCDebug(lcBadge) << "badge woken";
    }
    load(url);
}

bool BadgePage::isResponsive() const
{
    return !m_waitingSince.isValid() || m_waitingSince.elapsed() < kHungAfterMs;
}

void BadgePage::recoverOnce()
{
    if (m_recovered || m_badgeUrl.isEmpty())
        return;
    m_recovered = true;
    qCDebug(lcBadge) << "renderer gone; the badge is loaded once more";
    // Not from inside the engine's own notice of the crash.
    QMetaObject::invokeMethod(
            this, [this] { loadBadge(m_badgeUrl); }, Qt::QueuedConnection);
}

void BadgePage::onLoadFinished(bool ok)
{
    if (ok)
        m_recovered = false;
    m_waitingSince.start();
    QPointer<BadgePage> self(this);
    runJavaScript(QString::fromLatin1(kReadBody), kWorld, [self](const QVariant &result) {
        // A page going away answers its pending scripts with nothing, while
        // only its base part is left; nothing readable means no click anyway.
        if (!self || !result.isValid())
            return;
        self->m_waitingSince.invalidate();
        const QVariantList values = result.toList();
        const QString readyState = values.value(0).toString();
        if (values.value(1).typeId() == QMetaType::QString)
            self->m_badgeHtml = values.value(1).toString();
        else
            qCDebug(lcBadge) << "badge body not readable; the previous one stays";
        if (shouldClickBadge(readyState, self->m_badgeHtml))
            self->clickFirstAnchor();
        else
            qCDebug(lcBadge) << "no click: ready state" << readyState;
    });
}

void BadgePage::clickFirstAnchor()
{
    runJavaScript(QString::fromLatin1(kClickFirstAnchor), kWorld, [](const QVariant &clicked) {
        qCDebug(lcBadge) << (clicked.toBool() ? "first link clicked" : "no link to click");
    });
}

QWebEnginePage *BadgePage::createWindow(WebWindowType)
{
    // Logging in happens in that window, on the same profile, so the next
    // Reload finds the owner logged in.
    if (isLoggedOut(title()))
        return m_routeLogin();
    QWebEnginePage *chat = m_routeChat();
    if (chat) {
        connect(chat, &QWebEnginePage::loadFinished, this, [this, chat](bool ok) {
            if (!ok)
                return;
            // Not while the chat is being painted for the first time: letting
            // a page go is work for the same thread.
            QTimer::singleShot(kRestAfterChatMs, this, [this, chat = QPointer<QWebEnginePage>(chat)] {
                if (chat)
                    restBeside(chat);
            });
        });
    }
    return chat;
}

void BadgePage::restBeside(QWebEnginePage *chat)
{
    const qint64 own = renderProcessPid();
    // Not while a load or a script of the badge is still to be answered.
    if (m_waitingSince.isValid() || lifecycleState() != LifecycleState::Active || own == 0
        || chat->renderProcessPid() == own)
        return;
    qCDebug(lcBadge) << "chat shows in a renderer of its own; the badge rests";
    setLifecycleState(LifecycleState::Discarded);
}
