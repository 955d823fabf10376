#include "main_window/frmmain.h"

#include "common/programmessage.h"
#include "common/twips.h"
#include "desktop/autostart.h"
#include "desktop/chatattention.h"
#include "desktop/trayicon.h"
#include "desktop/windowkeeper.h"
#include "main_window/chatscreen.h"
#include "presence/exitrequest.h"
#include "presence/presence.h"
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
#include <QWebEngineView>

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

QAction *addItem(QMenu *menu, const char *name, const char *caption, bool checkable = false,
                 bool checked = false)
{
    QAction *action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    action->setChecked(checked);
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

frmMain::frmMain(const SettingsFile &settingsFile) : frmMain(settingsFile, nullptr) { }

frmMain::frmMain(const SettingsFile &settingsFile, std::unique_ptr<Presence> started)
    : m_settingsFile(settingsFile), m_keeper(new WindowKeeper(this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(kCaption));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/talvorin-32.png"));
    icon.addFile(QStringLiteral(":/icons/talvorin-48.png"));
    setWindowIcon(icon);

    m_startRequested = bool(started);
    m_presence = started ? started.release()
                         : new Presence(new QNetworkAccessManager(this), {}, PresenceTimings(), this);
    m_presence->setParent(this);
    m_presence->setLinks({ [this] { return LinkStart; }, [this] { return LinkClose; } });
    m_exit = new ExitRequest(m_presence->network(), this);
    connect(m_exit, &ExitRequest::finished, this, &frmMain::unloadForGood);

    createMenus();
    createControls();
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
    QAction *mnureload = addItem(mnuFile, "mnureload", "Reload");
    QAction *mnuSetings = addItem(mnuFile, "mnuSetings", "Settings");
    mnuStart = addItem(mnuFile, "mnuStart", "Start with Windows", true);
    mnuShow = addItem(mnuFile, "mnuShow", "Show in taskbar", true);
    mnutop = addItem(mnuFile, "mnutop", "Always on top", true);
    QAction *mnubadge = addItem(mnuFile, "mnubadge", "Create badge");
    QAction *mnuExit = addItem(mnuFile, "mnuExit", "Exit");

    mnustatus = addMenu(menuBar(), "mnustatus", "Status");
    mnuonline = addItem(mnustatus, "mnuonline", "Online", true, true);
    mnuoffline = addItem(mnustatus, "mnuoffline", "Offline", true);
    mnuaway = addItem(mnustatus, "mnuaway", "Away when idle", true);

    QAction *mnuabout = menuBar()->addAction(QStringLiteral("About"));
    mnuabout->setObjectName(QStringLiteral("mnuabout"));

    // The tray icon's pop-up; it never stands on the menu bar.
    mnutray = new QMenu(QStringLiteral("tray"), this);
    mnutray->setObjectName(QStringLiteral("mnutray"));
    QAction *mnuRestore = addItem(mnutray, "mnuRestore", "Restore");
    QAction *mnuMaximize = addItem(mnutray, "mnuMaximize", "Maizimize");
    QAction *mnuMinimize = addItem(mnutray, "mnuMinimize", "Minimize");
    mnuTrayTop = addItem(mnutray, "mnuTrayTop", "Always on top", true);
    mnuTrayStart = addItem(mnutray, "mnuTrayStart", "Start with windows", true);
    mnutraytask = addItem(mnutray, "mnutraytask", "Show in taskbar", true);
    QAction *mnutrayexit = addItem(mnutray, "mnutrayexit", "Exit");

    connect(mnureload, &QAction::triggered, this, &frmMain::mnureload_Click);
    connect(mnuSetings, &QAction::triggered, this, &frmMain::mnuSetings_Click);
    connect(mnubadge, &QAction::triggered, this, [] { openOutside(kCreateBadgePage); });
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(mnuabout, &QAction::triggered, this, [] { openOutside(kMakerHomePage); });
    // QAction has flipped the check mark already when these run.
    connect(mnuStart, &QAction::triggered, this, &frmMain::onStartToggled);
    connect(mnuShow, &QAction::triggered, this, [this](bool checked) {
        m_keeper->setShowInTaskbar(checked);
        // The toggle shows the window, even from the notification area, and
        // leaves its state as it is.
        if (!isVisible())
            show();
        mnutraytask->setChecked(checked);
        writeSettings();
    });
    connect(mnutop, &QAction::triggered, this, [this](bool checked) {
        m_keeper->setAlwaysOnTop(checked);
        mnuTrayTop->setChecked(checked);
        writeSettings();
    });
    // Neither status item looks at its check mark: each click sends and flips both.
    connect(mnuonline, &QAction::triggered, this, [this](bool checked) {
        m_presence->onlineClicked(checked);
        mnuoffline->setChecked(!checked);
    });
    connect(mnuoffline, &QAction::triggered, this, [this](bool checked) {
        // Going offline uses webStart: only the exit request ends the program.
        m_presence->offlineClicked(!checked);
        mnuonline->setChecked(!checked);
    });
    connect(mnuaway, &QAction::toggled, this, [this](bool on) {
        m_presence->setAwayWhenIdle(on);
        writeSettings();
    });

    connect(mnuRestore, &QAction::triggered, this, &frmMain::bringBack);
    connect(mnuMaximize, &QAction::triggered, this,
            [this] { m_keeper->restore(Qt::WindowMaximized); });
    connect(mnuMinimize, &QAction::triggered, m_keeper, &WindowKeeper::hideInTray);
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
    m_chat = new ChatScreen(this, m_client, [this] { return BadgeLink; });

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
    // What a new owner needs to know before the first chat can come.
    const struct {
        const char *name;
        int left, top, width, height;
        const char *text;
    } labels[] = {
        { "Label1", 90, 240, 6225, 795, "No badge link is set yet." },
        { "Label2", 30, 870, 6135, 795,
          "Choose File > Settings and paste the link of your chat badge." },
        { "Label3", 60, 2190, 5985, 975, "Once the link is set, your chat opens here." },
    };
    for (const auto &line : labels) {
        auto *label = new QLabel(QString::fromLatin1(line.text), Frame1);
        label->setObjectName(QString::fromLatin1(line.name));
        place(label, line.left, line.top, line.width, line.height);
        label->setWordWrap(true);
        // Inside the panel, whatever the designed width.
        label->setFixedWidth(qMin(label->width(), Frame1->width() - 2 * label->x()));
    }
}

void frmMain::load()
{
    // A replayed toggle would save a half-read state; the next change or the
    // exit writes the whole one.
    m_applyingSettings = true;
    applySettingsFile(m_settingsFile.read(), *this);
    m_applyingSettings = false;
    // The owner's site hears of the start before the browser engine starts up.
    if (!m_startRequested)
        m_presence->start();

    m_attention = new ChatAttention(this, ChatAttention::kTrayMessageGapMs, this);
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
    connect(m_presence, &Presence::shownAwayChanged, m_tray, &TrayIcon::setShownAway);
    m_tray->show();

    Frame1->setVisible(BadgeLink.isEmpty());
    if (BadgeLink.isEmpty())
        return;
    m_chat->loadBadge();
    Form_Resize();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (ExitRequested || m_sessionEnding) {
        event->accept();
        return;
    }
    event->ignore();
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

void frmMain::contacteaza()
{
    m_chat->contacteaza();
}

void frmMain::bringBack()
{
    m_keeper->restore(Qt::WindowNoState);
}

void frmMain::mnutop_Click()
{
    mnutop->trigger();
}

void frmMain::mnuShow_Click()
{
    mnuShow->trigger();
}

BadgePage *frmMain::badgePage() const
{
    return m_chat->badgePage();
}

QWebEngineView *frmMain::chatView() const
{
    return m_chat->chatView();
}

void frmMain::setExitTimeout(int milliseconds)
{
    m_exit->setTimeout(milliseconds);
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

void frmMain::setStartWithWindowsChecked(bool checked)
{
    mnuStart->setChecked(checked);
    mnuTrayStart->setChecked(checked);
}

void frmMain::setAwayWhenIdle(bool on)
{
    mnuaway->setChecked(on);
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
