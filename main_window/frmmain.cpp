#include "main_window/frmmain.h"

#include "common/programmessage.h"
#include "common/twips.h"
#include "desktop/autostart.h"
#include "desktop/chatattention.h"
#include "desktop/trayicon.h"
#include "desktop/windowkeeper.h"
#include "main_window/chatscreen.h"
#include "main_window/firstrunpanel.h"
#include "presence/exitrequest.h"
#include "presence/presence.h"
#include "settings/frmset.h"
#include "web/downloadsaver.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkAccessManager>
#include <QWebEngineView>

#include <cmath>

namespace {

const char kCaption[] = "Talvorin Tool GoogleTalk";
const char kMakerHomePage[] = "http://www.example.com";
const char kCreateBadgePage[] = "http://www.google.com/talk/service/badge/New";

// Designed sizes, in twips.
const int kClientWidth = 6090;
const int kClientHeight = 7920;
const int kChatInset = 60;

QAction *addItem(QMenu *menu, const char *name, const char *caption)
{
    QAction *action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

// An item that runs `slot` when chosen.
template<typename Receiver, typename Slot>
QAction *addItem(QMenu *menu, const char *name, const char *caption, Receiver *receiver, Slot slot)
{
    QAction *action = addItem(menu, name, caption);
    QObject::connect(action, &QAction::triggered, receiver, slot);
    return action;
}

// A check item; `slot` hears the check mark as the click has left it.
template<typename Receiver, typename Slot>
QAction *addToggle(QMenu *menu, const char *name, const char *caption, Receiver *receiver,
                   Slot slot)
{
    QAction *action = addItem(menu, name, caption, receiver, slot);
    action->setCheckable(true);
    return action;
}

QMenu *addMenu(QMenuBar *bar, const char *name, const char *caption)
{
    QMenu *menu = bar->addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

void openOutside(const char *address)
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(address)));
}

} // namespace

frmMain::frmMain(const SettingsFile &settingsFile, std::unique_ptr<Presence> started)
    : m_saver(settingsFile, this), m_keeper(new WindowKeeper(this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(kCaption));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/talvorin-32.png"));
    icon.addFile(QStringLiteral(":/icons/talvorin-48.png"));
    setWindowIcon(icon);

    m_startRequested = bool(started);
    m_presence = started
            ? started.release()
            : new Presence(new QNetworkAccessManager(this), {}, PresenceTimings(), this);
    m_presence->setParent(this);
    m_presence->setLinks({ [this] { return LinkStart; }, [this] { return LinkClose; } });
    m_exit = new ExitRequest(m_presence->network(), this);
    connect(m_exit, &ExitRequest::finished, this, &frmMain::unloadForGood);

    createMenus();
    createControls();
    m_attention = new ChatAttention(this, ChatAttention::kTrayMessageGapMs, this);
    resize(twipsToPixels(kClientWidth, logicalDpiX()),
           twipsToPixels(kClientHeight, logicalDpiY()) + menuBar()->sizeHint().height());
}

frmMain::~frmMain()
{
    // The pages go before the rest of the window, while their profile lives.
    delete m_chat;
}

void frmMain::createMenus()
{
    QMenu *mnuFile = addMenu(menuBar(), "mnuFile", "File");
    addItem(mnuFile, "mnureload", "Reload", this, &frmMain::mnureload_Click);
    addItem(mnuFile, "mnuSetings", "Settings", this, &frmMain::mnuSetings_Click);
    // QAction has flipped the check mark already when these run.
    mnuStart = addToggle(mnuFile, "mnuStart", "Start with Windows", this, &frmMain::onStartToggled);
    mnuShow = addToggle(mnuFile, "mnuShow", "Show in taskbar", this, [this](bool checked) {
        m_keeper->setShowInTaskbar(checked);
        // The toggle shows the window, even from the notification area, and
        // leaves its state as it is.
        if (!isVisible())
            show();
        writeSettings();
    });
    mnutop = addToggle(mnuFile, "mnutop", "Always on top", this, [this](bool checked) {
        m_keeper->setAlwaysOnTop(checked);
        writeSettings();
    });
    addItem(mnuFile, "mnubadge", "Create badge", this, [] { openOutside(kCreateBadgePage); });
    addItem(mnuFile, "mnuExit", "Exit", this, &frmMain::mnuExit_Click);

    m_status = new StatusMenu(menuBar(), m_presence);
    connect(m_status, &StatusMenu::awayWhenIdleChanged, this, &frmMain::writeSettings);

    QAction *mnuabout = menuBar()->addAction(QStringLiteral("About"));
    mnuabout->setObjectName(QStringLiteral("mnuabout"));
    connect(mnuabout, &QAction::triggered, this, [] { openOutside(kMakerHomePage); });

    // The tray icon's pop-up; it never stands on the menu bar.
    mnutray = new QMenu(QStringLiteral("tray"), this);
    mnutray->setObjectName(QStringLiteral("mnutray"));
    addItem(mnutray, "mnuRestore", "Restore", this, &frmMain::bringBack);
    addItem(mnutray, "mnuMaximize", "Maizimize", this,
            [this] { m_keeper->restore(Qt::WindowMaximized); });
    addItem(mnutray, "mnuMinimize", "Minimize", m_keeper, &WindowKeeper::hideInTray);
    // The twins run the main items' actions and show their check marks.
    const struct {
        QAction *main;
        const char *name, *caption;
    } twins[] = { { mnutop, "mnuTrayTop", "Always on top" },
                  { mnuStart, "mnuTrayStart", "Start with windows" },
                  { mnuShow, "mnutraytask", "Show in taskbar" } };
    for (const auto &twin : twins) {
        QAction *item = addToggle(mnutray, twin.name, twin.caption, twin.main, &QAction::trigger);
        connect(twin.main, &QAction::toggled, item, &QAction::setChecked);
    }
    addItem(mnutray, "mnutrayexit", "Exit", this, &frmMain::mnuExit_Click);
}

void frmMain::createControls()
{
    m_client = new QWidget(this);
    setCentralWidget(m_client);
    m_client->installEventFilter(this);
    m_chat = new ChatScreen(this, m_client, [this] { return BadgeLink; });
    addToolBar(m_chat->callQuestionBar());
    Frame1 = createFirstRunPanel(m_client);
}

void frmMain::load()
{
    m_applyingSettings = true;
    applySettingsFile(m_saver.file().read(), *this);
    m_applyingSettings = false;
    m_presence->linksChanged();
    // The owner's site hears of the start before the browser engine starts up.
    if (!m_startRequested)
        m_presence->start();

    connect(m_chat, &ChatScreen::chatPageInstalled, m_attention, &ChatAttention::watch);
    connect(m_chat, &ChatScreen::notificationArrived, m_attention,
            &ChatAttention::notificationArrived);
    connect(m_chat, &ChatScreen::chatLoaded, this, &frmMain::Form_Resize);
    m_chat->start();

    m_tray = new TrayIcon(windowIcon(), mnutray, this);
    connect(m_tray, &TrayIcon::restoreRequested, this, &frmMain::bringBack);
    connect(m_tray, &TrayIcon::doubleClicked, this, [this] {
        showProgramMessage(this, QStringLiteral("Dbl Click in the systray needs event"));
    });
    connect(m_attention, &ChatAttention::unreadChanged, m_tray, &TrayIcon::showUnread);
    connect(m_attention, &ChatAttention::trayMessage, m_tray, &TrayIcon::notify);
    connect(m_chat, &ChatScreen::callQuestionUnseen, m_tray, &TrayIcon::notify);
    connect(m_presence, &Presence::siteStatusChanged, m_tray, &TrayIcon::showSiteStatus);
    connect(m_presence, &Presence::siteUnheard, m_tray, &TrayIcon::tellSiteUnheard);
    connect(m_chat->downloads(), &DownloadSaver::progressChanged, m_tray, &TrayIcon::showDownloads);
    connect(m_chat->downloads(), &DownloadSaver::message, m_tray, &TrayIcon::notifyOpening);
    m_tray->showSiteStatus(m_presence->siteStatus());
    m_tray->show();

    mnureload_Click(); // the badge, or the hint while there is none
    if (!BadgeLink.isEmpty())
        Form_Resize();
}

// Only Exit and the session's end close the window; anything else hides it.
void frmMain::closeEvent(QCloseEvent *event)
{
    event->setAccepted(ExitRequested || m_sessionEnding);
    if (!event->isAccepted())
        m_keeper->hideInTray();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        placeChat();
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::Form_Resize()
{
    m_keeper->showUnlessMinimized();
    placeChat();
}

// webChat fills the window, a little in from each side.
void frmMain::placeChat()
{
    const int insetX = twipsToPixels(kChatInset, logicalDpiX());
    const int insetY = twipsToPixels(kChatInset, logicalDpiY());
    chatView()->setGeometry(m_client->rect().adjusted(insetX, insetY, -insetX, -insetY));
}

void frmMain::mnuExit_Click()
{
    m_presence->exiting();
    m_exit->send(LinkClose);
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
    m_unloaded = true;
    m_chat->stop();
    if (m_tray)
        m_tray->remove();
    writeSettings();
    emit unloaded();
    close();
}

void frmMain::mnureload_Click()
{
    Frame1->setVisible(BadgeLink.isEmpty());
    if (!BadgeLink.isEmpty())
        m_chat->reload();
}

void frmMain::bringBack()
{
    m_keeper->restore(Qt::WindowNoState);
    m_attention->ownerLooked();
}

void frmMain::mnuSetings_Click()
{
    frmSet dialog(BadgeLink, LinkStart, LinkClose, this);
    connect(&dialog, &frmSet::linksChanged, this,
            [this](const QString &badge, const QString &start, const QString &close) {
                BadgeLink = badge;
                LinkStart = start;
                LinkClose = close;
                m_presence->linksChanged();
                writeSettings();
                mnureload_Click();
            });
    dialog.exec();
}

void frmMain::onStartToggled(bool checked)
{
    QString error;
    if (checked ? addToStartup(&error) : removeFromStartup(&error)) {
        writeSettings();
        return;
    }
    // The check marks claim only what will happen at the next login.
    mnuStart->setChecked(!checked);
    showProgramMessage(
            this,
            (checked ? QStringLiteral("TalvorinTool cannot be set to start at login.")
                     : QStringLiteral("TalvorinTool cannot be kept from starting at login."))
                    + u'\n' + error);
}

void frmMain::writeSettings()
{
    // A replayed toggle would save a half-read state; the next change or the
    // exit writes the whole one.
    if (!m_applyingSettings)
        m_saver.save(currentState(), ExitRequested);
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
    state.awayWhenIdle = m_status->isAwayWhenIdle();
    state.hasSize = !isMinimized() && !isMaximized();
    const QSize outer = m_keeper->outerSize();
    state.width = pixelsToTwips(outer.width(), logicalDpiX());
    state.height = pixelsToTwips(outer.height(), logicalDpiY());
    return state;
}

void frmMain::setLink(Link which, const QString &value)
{
    QString *links[] = { &BadgeLink, &LinkStart, &LinkClose };
    *links[int(which)] = value;
}

// No window can be larger than Qt's largest size: such a line is left out.
void frmMain::setOuterHeight(double twips)
{
    const double pixels = twips / twipsPerPixel(logicalDpiY());
    if (pixels <= QWIDGETSIZE_MAX)
        m_keeper->setWantedOuterHeight(int(std::nearbyint(pixels)));
}

void frmMain::setOuterWidth(double twips)
{
    const double pixels = twips / twipsPerPixel(logicalDpiX());
    if (pixels <= QWIDGETSIZE_MAX)
        m_keeper->setWantedOuterWidth(int(std::nearbyint(pixels)));
}
