#include "main_window/frmmain.h"

#include "desktop/autostart.h"
#include "desktop/chatattention.h"
#include "desktop/trayicon.h"
#include "desktop/windowhints.h"
#include "main_window/badgepage.h"
#include "main_window/badgerules.h"
#include "main_window/chatpage.h"
#include "main_window/loginwindow.h"
#include "main_window/programmessage.h"
#include "main_window/screenfit.h"
#include "presence/presence.h"
#include "presence/statusrequester.h"
#include "main_window/twips.h"
#include "settings/frmset.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QWebEngineNotification>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWindow>

#include <cmath>

Q_LOGGING_CATEGORY(lcWindow, "talvorin.window", QtWarningMsg)

namespace {

const char kCaption[] = "Talvorin Tool GoogleTalk";
const char kMakerHomePage[] = "http://www.example.com";
const char kCreateBadgePage[] = "http://www.google.com/talk/service/badge/New";

// Designed sizes, in twips.
const int kClientWidth = 6090;
const int kClientHeight = 7920;
const int kChatInset = 60;
const int kExitTimeoutMs = 10000;
// A hidden chat's new messages go beside the tray icon at most this often.
const int kTrayMessageGapMs = 10000;
// How long to wait for the window manager's frame before a saved outer size
// is taken as the window's own size.
const int kFrameWaitMs = 2000;
// A chat that closes itself brings the badge back at most this often, so a
// page that closes at once cannot loop.
const int kChatCloseReloadMs = 60000;

QAction *addItem(QMenu *menu, const char *name, const char *caption, bool checkable = false,
                 bool checked = false)
{
    QAction *action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    action->setChecked(checked);
    return action;
}

} // namespace

frmMain::frmMain(const SettingsFile &settingsFile, QWidget *parent)
    : frmMain(settingsFile, nullptr, parent)
{
}

frmMain::frmMain(const SettingsFile &settingsFile, std::unique_ptr<Presence> started,
                 QWidget *parent)
    : QMainWindow(parent), m_settingsFile(settingsFile), m_chatCloseReload(kChatCloseReloadMs)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(kCaption));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/talvorin-32.png"));
    icon.addFile(QStringLiteral(":/icons/talvorin-48.png"));
    setWindowIcon(icon);

    createMenus();
    createControls();

    if (started) {
        m_startRequested = true;
        m_presence = started.release();
        m_presence->setParent(this);
        m_network = m_presence->network();
    } else {
        m_network = new QNetworkAccessManager(this);
        m_presence = new Presence(m_network, {}, PresenceTimings(), this);
    }
    m_presence->setLinks({ [this] { return LinkStart; }, [this] { return LinkClose; } });
    webClose = new StatusRequester(m_network, QStringLiteral("webClose"), this);
    // Any end of the exit request, an error included, ends the program; so
    // does the deadline, for a status page that never answers.
    connect(webClose, &StatusRequester::completed, this, &frmMain::unloadForGood);
    m_exitDeadline.setSingleShot(true);
    m_exitDeadline.setInterval(kExitTimeoutMs);
    connect(&m_exitDeadline, &QTimer::timeout, this, [this] {
        qCDebug(lcWindow) << "exit status page did not answer in time";
        unloadForGood();
    });

    resize(twipsToPixels(kClientWidth, logicalDpiX()),
           twipsToPixels(kClientHeight, logicalDpiY()) + menuBar()->sizeHint().height());
}

frmMain::~frmMain()
{
    // The pages must go before the profile they live in.
    delete webChat;
    delete m_badgePage;
    delete WebBrowser1;
    qDeleteAll(findChildren<LoginWindow *>(Qt::FindDirectChildrenOnly));
}

void frmMain::createMenus()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnureload = addItem(mnuFile, "mnureload", "Reload");
    mnuSetings = addItem(mnuFile, "mnuSetings", "Settings");
    mnuStart = addItem(mnuFile, "mnuStart", "Start with Windows", true);
    mnuShow = addItem(mnuFile, "mnuShow", "Show in taskbar", true);
    mnutop = addItem(mnuFile, "mnutop", "Always on top", true);
    mnubadge = addItem(mnuFile, "mnubadge", "Create badge");
    mnuExit = addItem(mnuFile, "mnuExit", "Exit");

    mnustatus = menuBar()->addMenu(QStringLiteral("Status"));
    mnustatus->setObjectName(QStringLiteral("mnustatus"));
    mnuonline = addItem(mnustatus, "mnuonline", "Online", true, true);
    mnuoffline = addItem(mnustatus, "mnuoffline", "Offline", true);
    mnuaway = addItem(mnustatus, "mnuaway", "Away when idle", true);
    mnustatus->addSeparator();
    mnusite = addItem(mnustatus, "mnusite", "");
    mnusite->setEnabled(false);

    mnuabout = menuBar()->addAction(QStringLiteral("About"));
    mnuabout->setObjectName(QStringLiteral("mnuabout"));

    // The tray icon's pop-up; it never stands on the menu bar.
    mnutray = new QMenu(QStringLiteral("tray"), this);
    mnutray->setObjectName(QStringLiteral("mnutray"));
    mnuRestore = addItem(mnutray, "mnuRestore", "Restore");
    mnuMaximize = addItem(mnutray, "mnuMaximize", "Maizimize");
    mnuMinimize = addItem(mnutray, "mnuMinimize", "Minimize");
    mnuTrayTop = addItem(mnutray, "mnuTrayTop", "Always on top", true);
    mnuTrayStart = addItem(mnutray, "mnuTrayStart", "Start with windows", true);
    mnutraytask = addItem(mnutray, "mnutraytask", "Show in taskbar", true);
    mnutrayexit = addItem(mnutray, "mnutrayexit", "Exit");

    connect(mnureload, &QAction::triggered, this, &frmMain::mnureload_Click);
    connect(mnuSetings, &QAction::triggered, this, &frmMain::mnuSetings_Click);
    connect(mnuStart, &QAction::triggered, this, &frmMain::onStartToggled);
    connect(mnuShow, &QAction::triggered, this, &frmMain::onShowInTaskbarToggled);
    connect(mnutop, &QAction::triggered, this, &frmMain::onTopToggled);
    connect(mnubadge, &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kCreateBadgePage))); });
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(mnuonline, &QAction::triggered, this, &frmMain::onOnlineTriggered);
    connect(mnuoffline, &QAction::triggered, this, &frmMain::onOfflineTriggered);
    connect(mnuaway, &QAction::toggled, this, [this](bool on) {
        m_presence->setAwayWhenIdle(on);
        writeSettings();
    });
    connect(mnuabout, &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerHomePage))); });

    connect(mnuRestore, &QAction::triggered, this, [this] { restoreWindow(Qt::WindowNoState); });
    connect(mnuMaximize, &QAction::triggered, this, [this] { restoreWindow(Qt::WindowMaximized); });
    connect(mnuMinimize, &QAction::triggered, this, &frmMain::hideInTray);
    // The twins only run the main items' actions, which set both check marks.
    connect(mnuTrayTop, &QAction::triggered, mnutop, &QAction::trigger);
    connect(mnuTrayStart, &QAction::triggered, mnuStart, &QAction::trigger);
    connect(mnutraytask, &QAction::triggered, mnuShow, &QAction::trigger);
    connect(mnutrayexit, &QAction::triggered, this, &frmMain::mnuExit_Click);
}

void frmMain::createControls()
{
    m_client = new QWidget(this);
    setCentralWidget(m_client);
    m_client->installEventFilter(this);

    webChat = new QWebEngineView(m_client);
    webChat->setObjectName(QStringLiteral("webChat"));

    // Shown while no badge link is configured.
    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    auto place = [dpiX, dpiY](QWidget *widget, int left, int top, int width, int height) {
        widget->setGeometry(twipsToPixels(left, dpiX), twipsToPixels(top, dpiY),
                            twipsToPixels(width, dpiX), twipsToPixels(height, dpiY));
    };
    Frame1 = new QFrame(m_client);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::StyledPanel);
    place(Frame1, 900, 1890, 4005, 3435);
    Label1 = new QLabel(Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 90, 240, 6225, 795);
    Label2 = new QLabel(Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    place(Label2, 30, 870, 6135, 795);
    Label3 = new QLabel(Frame1);
    Label3->setObjectName(QStringLiteral("Label3"));
    place(Label3, 60, 2190, 5985, 975);
    // What a new owner needs to know before the first chat can come.
    Label1->setText(QStringLiteral("No badge link is set yet."));
    Label2->setText(QStringLiteral("Choose File > Settings and paste the link of your chat "
                                   "badge."));
    Label3->setText(QStringLiteral("Once the link is set, your chat opens here."));
    for (QLabel *label : { Label1, Label2, Label3 }) {
        label->setWordWrap(true);
        // Inside the panel, whatever the designed width.
        label->setFixedWidth(qMin(label->width(), Frame1->width() - 2 * label->x()));
    }
}

void frmMain::createBrowsers()
{
    // One profile of the program's own, kept in the user's data directory, so
    // a login to the badge service survives restarts.
    m_profile = new QWebEngineProfile(QStringLiteral("TalvorinTool"), this);
    // A window of its own that is never shown: unseen, out of the tab order
    // and of the main window's accessible children, on every platform.
    WebBrowser1 = new QWebEngineView(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setWindowFlag(Qt::Window);
    WebBrowser1->setFocusPolicy(Qt::NoFocus);
    replaceBadgePage();
    m_attention = new ChatAttention(this, kTrayMessageGapMs, this);
    m_profile->setNotificationPresenter([this](std::unique_ptr<QWebEngineNotification> note) {
        qCDebug(lcWindow) << "web notification" << note->title() << note->message();
        m_attention->notificationArrived(note->title(), note->message());
        note->show();
    });
    installChatPage();
}

void frmMain::replaceBadgePage()
{
    BadgePage *previous = m_badgePage;
    m_badgePage = new BadgePage(
            m_profile, [this](const QUrl &url) { return allowsNavigation(url); },
            [this] { return installChatPage(); }, previous ? previous->badgeHtml() : QString(),
            this);
    connect(m_badgePage, &BadgePage::loggedOutWindowOpened, this, &frmMain::showLoginMessage);
    WebBrowser1->setPage(m_badgePage);
    if (previous)
        previous->deleteLater();
}

bool frmMain::allowsNavigation(const QUrl &url) const
{
    return isNavigationAllowed(url, QUrl::fromUserInput(BadgeLink));
}

QWebEnginePage *frmMain::installChatPage()
{
    auto *page = new ChatPage(
            m_profile, [this](const QUrl &url) { return allowsNavigation(url); }, webChat);
    webChat->setPage(page);
    // Later: the engine may still be inside a call of the page it replaces.
    if (m_chatPage)
        m_chatPage->deleteLater();
    m_chatPage = page;
    connect(page, &QWebEnginePage::loadFinished, this, &frmMain::onChatLoaded);
    // The chat's renderer gone: the badge opens the chat anew, once.
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    m_badgePage->recoverOnce();
            });
    connect(page, &QWebEnginePage::windowCloseRequested, this, &frmMain::onChatClosed,
            Qt::QueuedConnection);
    // A chat shows a new message in its title; the owner must not miss it
    // while away from the window.
    m_attention->watch(page);
    return page;
}

void frmMain::onChatLoaded()
{
    if (webChat->width() < twipsToPixels(kNarrowestChatTwips, logicalDpiX())
        && !BadgeLink.isEmpty())
        m_badgePage->loadBadge(QUrl::fromUserInput(BadgeLink));
    Form_Resize();
}

void frmMain::onChatClosed()
{
    installChatPage();
    if (m_chatCloseReload.take())
        mnureload_Click();
    else
        qCDebug(lcWindow) << "chat closed itself again within a minute; the badge waits";
}

void frmMain::contacteaza()
{
    m_badgePage->clickFirstAnchor();
}

// The message comes first and the login window after it, so the owner's
// typing goes to the login page, not to the message box.
void frmMain::showLoginMessage(LoginWindow *window)
{
    QPointer<LoginWindow> login(window);
    showProgramMessage(this,
                       QStringLiteral("Login into your account and click RELOAD in the appliction!"),
                       [login] {
                           if (login)
                               login->present();
                       });
}

void frmMain::mnuSetings_Click()
{
    frmSet dialog(BadgeLink, LinkStart, LinkClose, this);
    connect(&dialog, &frmSet::linksChanged, this,
            [this](const QString &badge, const QString &start, const QString &close) {
                BadgeLink = badge;
                LinkStart = start;
                LinkClose = close;
                writeSettings();
                mnureload_Click();
            });
    dialog.exec();
}

void frmMain::load()
{
    readSettings();
    // The owner's site hears of the start before the browser engine starts up.
    if (!m_startRequested)
        m_presence->start();
    createBrowsers();
    webChat->stop();

    m_tray = new TrayIcon(windowIcon(), mnutray, this);
    connect(m_tray, &TrayIcon::restoreRequested, this, &frmMain::bringBack);
    connect(m_tray, &TrayIcon::doubleClicked, this, [this] {
        showProgramMessage(this, QStringLiteral("Dbl Click in the systray needs event"));
    });
    connect(m_attention, &ChatAttention::unreadChanged, m_tray, &TrayIcon::showUnread);
    connect(m_attention, &ChatAttention::trayMessage, m_tray, &TrayIcon::notify);
    m_tray->show();
    const auto showSite = [this](const SiteStatus &status) {
        m_tray->showSiteStatus(status);
        mnusite->setText(status.words());
    };
    connect(m_presence, &Presence::siteStatusChanged, this, showSite);
    connect(m_presence, &Presence::siteUnheard, m_tray, &TrayIcon::tellSiteUnheard);
    showSite(m_presence->siteStatus()); // the early request may have come back already

    if (BadgeLink.isEmpty()) {
        Frame1->show();
        return;
    }
    Frame1->hide();
    m_badgePage->loadBadge(QUrl::fromUserInput(BadgeLink));
    Form_Resize();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (ExitRequested || m_sessionEnding) {
        event->accept();
        return;
    }
    event->ignore();
    hideInTray();
}

void frmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Minimized lives only in the notification area. Only a window on screen
    // is minimized by the user: a window being shown again can still hear of
    // its old iconic state. Queued: showMinimized() makes the window visible
    // after announcing the new state.
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || !TrayIcon::isAvailable())
        return;
    if (windowHandle() && windowHandle()->isExposed()) {
        QMetaObject::invokeMethod(this, &frmMain::hideIfMinimized, Qt::QueuedConnection);
    } else if (m_restoring) {
        // The manager still iconifies the window it is asked to show (it
        // heard of its old minimized state late): ask once more, for the
        // state asked for then.
        m_restoring = false;
        QMetaObject::invokeMethod(
                this, [this, state = m_restoringTo] { setWindowState(state); show(); },
                Qt::QueuedConnection);
    }
}

// The toggles' states live on the native window, which the desktop clears
// when the window is hidden and which Qt replaces now and then (the browser
// view's first showing gives the window a new one). So they are set on every
// new native window and every showing, before the window is mapped for the
// window manager to read, and once more when it is on screen, in case the
// manager was still clearing the state of the window's last hiding.
void frmMain::watchNativeWindow()
{
    applyWindowHints();
    if (QWindow *window = windowHandle()) {
        window->removeEventFilter(this);
        window->installEventFilter(this);
    }
    m_hintsPending = true;
}

bool frmMain::event(QEvent *event)
{
    if (event->type() == QEvent::WinIdChange && internalWinId())
        watchNativeWindow();
    return QMainWindow::event(event);
}

void frmMain::applyWindowHints()
{
    qCDebug(lcWindow) << "window hints: on top" << mnutop->isChecked() << "in taskbar"
                      << mnuShow->isChecked();
    setTopMost(this, mnutop->isChecked());
    setShowsInTaskbar(this, mnuShow->isChecked());
}

void frmMain::hideIfMinimized()
{
    if (!isMinimized())
        return;
    qCDebug(lcWindow) << "minimized: hidden in the notification area";
    hide();
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    applyWantedOuterSize();
    fitOnceFramed();
}

void frmMain::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    applyWantedOuterSize();
    fitOnceFramed();
}

void frmMain::fitOnceFramed()
{
    if (!m_fitPending || frameGeometry().size() == geometry().size())
        return;
    m_fitPending = false;
    keepOnScreen();
}

void frmMain::keepOnScreen()
{
    // The window manager places a maximized window; a resize would take it
    // out of that state.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const QRect frame = frameGeometry();
    const QSize margins = frame.size() - geometry().size();
    const QRect fitted = fittedInto(frame, screen()->availableGeometry());
    if (fitted == frame)
        return;
    qCDebug(lcWindow) << "kept on screen:" << frame << "->" << fitted;
    resize(fitted.size() - margins);
    move(fitted.topLeft());
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        placeChat();
    if (watched == windowHandle() && event->type() == QEvent::Expose && m_hintsPending
        && windowHandle()->isExposed()) {
        m_hintsPending = false;
        m_restoring = false;
        applyWindowHints();
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::Form_Resize()
{
    if (isMinimized()) {
        if (TrayIcon::isAvailable())
            hide();
        return;
    }
    if (!isVisible())
        show();
    placeChat();
}

void frmMain::placeChat()
{
    const int insetX = twipsToPixels(kChatInset, logicalDpiX());
    const int insetY = twipsToPixels(kChatInset, logicalDpiY());
    const QRect area = m_client->rect();
    webChat->setGeometry(insetX, insetY, qMax(0, area.width() - 2 * insetX),
                         qMax(0, area.height() - 2 * insetY));
}

void frmMain::hideInTray()
{
    if (!TrayIcon::isAvailable()) {
        // Without a notification area a hidden window would be lost for good:
        // it stays minimized, with a taskbar button to come back by.
        setShowsInTaskbar(this, true);
        showMinimized();
        return;
    }
    m_restoring = false; // a restore still on its way is overtaken
    hide();
    setWindowState(Qt::WindowMinimized);
}

void frmMain::restoreWindow(Qt::WindowState state)
{
    qCDebug(lcWindow) << "restored to" << state;
    m_restoring = true;
    m_restoringTo = state;
    setWindowState(state);
    show();
    bringToFront();
}

void frmMain::bringToFront()
{
    // With always on top on, the window is above the others already.
    if (mnutop->isChecked())
        return;
    raise();
    activateWindow();
}

void frmMain::mnuExit_Click()
{
    m_presence->exiting();
    if (LinkClose.isEmpty()) {
        unloadForGood();
        return;
    }
    webClose->open(LinkClose);
    if (!m_exitDeadline.isActive())
        m_exitDeadline.start();
}

void frmMain::sessionEnding()
{
    m_sessionEnding = true;
    mnuExit_Click();
}

void frmMain::unloadForGood()
{
    if (m_unloaded)
        return;
    ExitRequested = true;
    m_exitDeadline.stop();
    Form_Unload();
    close();
}

void frmMain::Form_Unload()
{
    m_unloaded = true;
    if (m_badgePage)
        m_badgePage->triggerAction(QWebEnginePage::Stop);
    webChat->stop();
    if (m_tray)
        m_tray->remove();
    writeSettings();
    emit unloaded();
}

void frmMain::mnureload_Click()
{
    if (BadgeLink.isEmpty()) {
        Frame1->show();
        return;
    }
    Frame1->hide();
    if (!m_badgePage)
        return;
    if (!m_badgePage->isResponsive())
        replaceBadgePage();
    m_badgePage->loadBadge(QUrl::fromUserInput(BadgeLink));
}

void frmMain::bringBack()
{
    restoreWindow(Qt::WindowNoState);
}

void frmMain::mnutop_Click()
{
    mnutop->trigger();
}

void frmMain::mnuShow_Click()
{
    mnuShow->trigger();
}

// QAction has flipped the check mark already when these run.
void frmMain::onTopToggled(bool checked)
{
    setTopMost(this, checked);
    mnuTrayTop->setChecked(checked);
    writeSettings();
}

void frmMain::onShowInTaskbarToggled(bool checked)
{
    setShowsInTaskbar(this, checked);
    // The toggle shows the window, even from the notification area, and
    // leaves its state as it is.
    if (!isVisible())
        show();
    mnutraytask->setChecked(checked);
    writeSettings();
}

void frmMain::onStartToggled(bool checked)
{
    QString error;
    const bool done = checked ? addToStartup(&error) : removeFromStartup(&error);
    if (!done) {
        // The check marks claim only what will happen at the next login.
        mnuStart->setChecked(!checked);
        mnuTrayStart->setChecked(!checked);
        const QString what = checked
                ? QStringLiteral("TalvorinTool cannot be set to start at login.")
                : QStringLiteral("TalvorinTool cannot be kept from starting at login.");
        showProgramMessage(this, what + u'\n' + error);
        return;
    }
    mnuTrayStart->setChecked(checked);
    writeSettings();
}

void frmMain::onOnlineTriggered(bool checked)
{
    m_presence->onlineClicked(checked);
    mnuoffline->setChecked(!checked);
}

void frmMain::onOfflineTriggered(bool checked)
{
    // Going offline uses webStart: only the exit request ends the program.
    m_presence->offlineClicked(!checked);
    mnuonline->setChecked(!checked);
}

void frmMain::readSettings()
{
    // A replayed toggle would save a half-read state; the next change or the
    // exit writes the whole one.
    m_applyingSettings = true;
    applySettingsFile(m_settingsFile.read(), *this);
    m_applyingSettings = false;
}

void frmMain::writeSettings()
{
    if (m_applyingSettings)
        return;
    QString error;
    if (m_settingsFile.write(formatSettings(currentState()), &error))
        return;
    // The program goes on with its state in memory; the old file stays whole.
    qCWarning(lcWindow).noquote() << "settings not saved to" << m_settingsFile.path() << error;
    // The owner hears of it once a run, not at every toggle, and not while
    // the program is ending anyway.
    if (m_saveFailureShown || ExitRequested)
        return;
    m_saveFailureShown = true;
    showProgramMessage(this,
                       QStringLiteral("The settings cannot be saved to %1; changes last until "
                                      "TalvorinTool ends.\n%2")
                               .arg(QDir::toNativeSeparators(m_settingsFile.path()), error));
}

SettingsState frmMain::currentState() const
{
    SettingsState state;
    state.badgeLink = BadgeLink;
    state.linkStart = LinkStart;
    state.linkClose = LinkClose;
    state.alwaysOnTop = mnutop->isChecked();
    state.showInTaskbar = mnuShow->isChecked();
    state.startWithWindows = mnuStart->isChecked();
    state.awayWhenIdle = mnuaway->isChecked();
    state.hasSize = !isMinimized() && !isMaximized();
    const QRect frame = frameGeometry();
    state.width =
            pixelsToTwips(m_wantedOuterWidth ? m_wantedOuterWidth : frame.width(), logicalDpiX());
    state.height = pixelsToTwips(m_wantedOuterHeight ? m_wantedOuterHeight : frame.height(),
                                 logicalDpiY());
    return state;
}

void frmMain::setLink(Link which, const QString &value)
{
    switch (which) {
    case Link::Badge:
        BadgeLink = value;
        break;
    case Link::Start:
        LinkStart = value;
        break;
    case Link::Close:
        LinkClose = value;
        break;
    }
}

void frmMain::toggleAlwaysOnTop()
{
    mnutop_Click();
}

void frmMain::toggleShowInTaskbar()
{
    mnuShow_Click();
}

void frmMain::setStartWithWindowsChecked(bool checked)
{
    mnuStart->setChecked(checked);
    mnuTrayStart->setChecked(checked);
}

void frmMain::setAwayWhenIdle(bool on)
{
    mnuaway->setChecked(on);
}

void frmMain::setOuterHeight(double twips)
{
    const double pixels = twips / twipsPerPixel(logicalDpiY());
    if (pixels > QWIDGETSIZE_MAX)
        return; // no window can be that high
    m_wantedOuterHeight = int(std::nearbyint(pixels));
    applyWantedOuterSize();
}

void frmMain::setOuterWidth(double twips)
{
    const double pixels = twips / twipsPerPixel(logicalDpiX());
    if (pixels > QWIDGETSIZE_MAX)
        return;
    m_wantedOuterWidth = int(std::nearbyint(pixels));
    applyWantedOuterSize();
}

// The file keeps the outer size, frame included, but a window is sized by
// its inside. The frame is known only once the window manager has framed the
// shown window: until then the inside takes the whole size, and the first
// move or resize that shows a frame corrects it.
void frmMain::applyWantedOuterSize()
{
    if (!m_wantedOuterWidth && !m_wantedOuterHeight)
        return;
    const QSize frame = frameGeometry().size() - geometry().size();
    const bool framed = !frame.isNull();
    if (isVisible() && !framed)
        return;
    const int width = m_wantedOuterWidth ? m_wantedOuterWidth - frame.width() : this->width();
    const int height = m_wantedOuterHeight ? m_wantedOuterHeight - frame.height() : this->height();
    if (framed) {
        m_wantedOuterWidth = 0;
        m_wantedOuterHeight = 0;
    }
    resize(qMax(1, width), qMax(1, height));
}

void frmMain::showEvent(QShowEvent *event)
{
    watchNativeWindow();
    QMainWindow::showEvent(event);
    // Its frame is still to come; once it is known the window is fitted again,
    // unless it was shown maximized: while the window manager maximizes it,
    // the state may read normal for a moment.
    keepOnScreen();
    m_fitPending = !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    if (m_wantedOuterWidth || m_wantedOuterHeight) {
        QTimer::singleShot(kFrameWaitMs, this, [this] {
            // No window manager framed the window: its inside is its outside.
            m_wantedOuterWidth = 0;
            m_wantedOuterHeight = 0;
        });
    }
}
