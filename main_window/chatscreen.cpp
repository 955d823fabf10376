#include "main_window/chatscreen.h"

#include "common/programmessage.h"
#include "common/twips.h"
#include "main_window/callquestionbar.h"
#include "main_window/loginwindow.h"
#include "web/badgepage.h"
#include "web/browserprofile.h"
#include "web/chatpage.h"
#include "web/downloadsaver.h"
#include "web/navigationrules.h"
#include "web/sitepermissions.h"
#include "web/webview.h"

#include <QPointer>
#include <QWebEngineView>

namespace {

// A chat that closes itself brings the badge back at most this often, so a
// page that closes at once cannot loop.
const int kChatCloseReloadMs = 60000;
// A chat view narrower than this (twips) shows no usable chat: the badge
// page is loaded again.
const double kNarrowestChatTwips = 100;

} // namespace

ChatScreen::ChatScreen(QWidget *window, QWidget *container, std::function<QString()> badgeLink)
    : QObject(window),
      m_window(window),
      m_badgeLink(std::move(badgeLink)),
      m_chatCloseReload(kChatCloseReloadMs),
      webChat(new WebView(container)),
      m_callQuestion(new CallQuestionBar(window))
{
    webChat->setObjectName(QStringLiteral("webChat"));
    connect(m_callQuestion, &CallQuestionBar::unseenQuestion, this,
            &ChatScreen::callQuestionUnseen);
}

ChatScreen::~ChatScreen()
{
    // The pages must go before the profile they live in.
    delete webChat;
    delete m_badgePage;
    delete WebBrowser1;
    delete m_downloads; // cancels what still runs, while the profile is there
    qDeleteAll(m_window->findChildren<LoginWindow *>(Qt::FindDirectChildrenOnly));
}

QToolBar *ChatScreen::callQuestionBar() const
{
    return m_callQuestion;
}

void ChatScreen::start()
{
    m_profile = new BrowserProfile(this);
    connect(m_profile, &BrowserProfile::notificationArrived, this,
            &ChatScreen::notificationArrived);
    webChat->useProfile(m_profile);
    m_callQuestion->follow(m_profile->permissions());
    m_downloads = new DownloadSaver(m_profile, DownloadSaver::kPace, m_profile);
    // A window of its own that is never shown: unseen, out of the tab order
    // and of the main window's accessible children, on every platform.
    WebBrowser1 = new QWebEngineView(m_window);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setWindowFlag(Qt::Window);
    WebBrowser1->setFocusPolicy(Qt::NoFocus);
    replaceBadgePage();
    installChatPage();
    webChat->stop();
}

void ChatScreen::replaceBadgePage()
{
    BadgePage *previous = m_badgePage;
    m_badgePage = new BadgePage(
            m_profile->profile(), navigationRule(), [this] { return installChatPage(); },
            [this] { return openLoginWindow(); },
            previous ? previous->badgeHtml() : QString(), m_window);
    WebBrowser1->setPage(m_badgePage);
    m_profile->permissions()->watch(m_badgePage, PageRole::Badge);
    if (previous)
        previous->deleteLater();
}

std::function<bool(const QUrl &)> ChatScreen::navigationRule() const
{
    return [this](const QUrl &url) {
        return isNavigationAllowed(url, QUrl::fromUserInput(m_badgeLink()));
    };
}

QWebEnginePage *ChatScreen::installChatPage()
{
    auto *page = new ChatPage(m_profile->profile(), navigationRule(), webChat);
    webChat->setPage(page);
    // Later: the engine may still be inside a call of the page it replaces.
    if (m_chatPage)
        m_chatPage->deleteLater();
    m_chatPage = page;
    connect(page, &QWebEnginePage::loadFinished, this, &ChatScreen::onChatLoaded);
    m_profile->permissions()->watch(page, PageRole::Shown);
    // Where the badge sends the chat (past a blank page) is the chat's own
    // site; where the chat goes from there need not be.
    connect(page, &QWebEnginePage::urlChanged, this,
            [this, sited = false](const QUrl &url) mutable {
                if (sited || (url.host().isEmpty() && !url.isLocalFile()))
                    return;
                sited = true;
                m_profile->permissions()->addOwnSite(url);
            });
    // The chat's renderer gone: the badge opens the chat anew, once.
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    m_badgePage->recoverOnce();
            });
    connect(page, &QWebEnginePage::windowCloseRequested, this, &ChatScreen::onChatClosed,
            Qt::QueuedConnection);
    emit chatPageInstalled(page);
    return page;
}

void ChatScreen::onChatLoaded()
{
    // A chat squeezed narrower than any chat can be is no chat: the badge
    // opens it again.
    if (webChat->width() < twipsToPixels(kNarrowestChatTwips, webChat->logicalDpiX())
        && !m_badgeLink().isEmpty())
        loadBadge();
    emit chatLoaded();
}

void ChatScreen::onChatClosed()
{
    installChatPage();
    if (m_chatCloseReload.take())
        reload();
    else
        qCDebug(lcBadge) << "chat closed itself again within a minute; the badge waits";
}

void ChatScreen::loadBadge()
{
    const QUrl badge = QUrl::fromUserInput(m_badgeLink());
    m_profile->permissions()->addOwnSite(badge);
    m_badgePage->loadBadge(badge);
}

void ChatScreen::reload()
{
    if (!m_badgePage)
        return;
    if (!m_badgePage->isResponsive())
        replaceBadgePage();
    loadBadge();
}

void ChatScreen::contacteaza()
{
    m_badgePage->clickFirstAnchor();
}

void ChatScreen::stop()
{
    if (m_badgePage)
        m_badgePage->triggerAction(QWebEnginePage::Stop);
    webChat->stop();
}

// The message comes first and the login window after it, so the owner's
// typing goes to the login page, not to the message box.
QWebEnginePage *ChatScreen::openLoginWindow()
{
    auto *login = new LoginWindow(m_profile, navigationRule(), m_window);
    QPointer<LoginWindow> window(login);
    showProgramMessage(
            m_window, QStringLiteral("Login into your account and click RELOAD in the appliction!"),
            [window] {
                if (window)
                    window->present();
            });
    return login->page();
}
