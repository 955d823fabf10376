#pragma once

#include "settings/settingsfile.h"
#include "settings/settingsformat.h"
#include "main_window/ratelimit.h"

#include <QMainWindow>
#include <QTimer>

#include <memory>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QNetworkAccessManager;
class QWebEnginePage;
class BadgePage;
class LoginWindow;
class ChatAttention;
class QWebEngineProfile;
class QWebEngineView;
class Presence;
class StatusRequester;
class TrayIcon;

// The main window. It shows the chat in webChat, loads the badge page unseen
// in WebBrowser1, and tells the owner's site through webStart and webClose
// when the owner comes and goes. Closing it only hides it; only Exit ends the
// program.
class frmMain : public QMainWindow, private SettingsTarget {
    Q_OBJECT
public:
    explicit frmMain(const SettingsFile &settingsFile, QWidget *parent = nullptr);
    // With the site status already started (the start-up request gone out
    // before the window was built): load() sends no second one.
    frmMain(const SettingsFile &settingsFile, std::unique_ptr<Presence> started,
            QWidget *parent = nullptr);
    ~frmMain() override;

    // Start-up: reads the settings, sends the start-up status request (unless
    // it went out before the window was built) and starts the badge page. Run
    // once, before the window is first shown.
    void load();

    QString badgeLink() const { return BadgeLink; }
    QString linkStart() const { return LinkStart; }
    QString linkClose() const { return LinkClose; }
    bool isExitRequested() const { return ExitRequested; }
    BadgePage *badgePage() const { return m_badgePage; }
    QWebEngineView *chatView() const { return webChat; }
    QMenu *trayMenu() const { return mnutray; }

    // How long Exit waits for the exit status page before it ends anyway.
    void setExitTimeout(int milliseconds) { m_exitDeadline.setInterval(milliseconds); }

public slots:
    void contacteaza();
    void mnuExit_Click();
    void mnureload_Click();
    void mnutop_Click();
    void mnuShow_Click();
    // Shows the window as a click on the tray icon does.
    void bringBack();
    // The desktop session is ending: run Exit without holding the logout up.
    void sessionEnding();

signals:
    // The window has been unloaded for good; the program may end.
    void unloaded();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenus();
    void createControls();
    void createBrowsers();
    // A fresh badge page in place of the current one, whose renderer may be hung.
    void replaceBadgePage();
    bool allowsNavigation(const QUrl &url) const;
    // A fresh page for webChat, replacing (and releasing) the one it shows.
    QWebEnginePage *installChatPage();
    void onChatLoaded();
    // A chat that closed itself: the next one comes through the badge.
    void onChatClosed();
    void showLoginMessage(LoginWindow *window);
    void mnuSetings_Click();

    // The resize rule: a minimized window lives only in the notification area;
    // otherwise it is shown with webChat filling it.
    void Form_Resize();
    void placeChat();
    void Form_Unload();
    void unloadForGood();
    void restoreWindow(Qt::WindowState state);
    void bringToFront();
    void hideInTray();
    void hideIfMinimized();
    // Shrinks and moves the window into the screen's available area.
    void keepOnScreen();
    void fitOnceFramed();
    // The toggles' window states, which the desktop forgets while the window
    // is hidden.
    void applyWindowHints();
    void watchNativeWindow();

    void readSettings();
    void writeSettings();
    SettingsState currentState() const;
    void applyWantedOuterSize();

    // SettingsTarget: what the lines of talvorin.ini act on.
    void setLink(Link which, const QString &value) override;
    void toggleAlwaysOnTop() override;
    void toggleShowInTaskbar() override;
    void setStartWithWindowsChecked(bool checked) override;
    void setOuterHeight(double twips) override;
    void setOuterWidth(double twips) override;
    void setAwayWhenIdle(bool on) override;

    void onTopToggled(bool checked);
    void onShowInTaskbarToggled(bool checked);
    void onStartToggled(bool checked);
    void onOnlineTriggered(bool checked);
    void onOfflineTriggered(bool checked);

    SettingsFile m_settingsFile;
    bool m_applyingSettings = false;
    bool m_saveFailureShown = false;
    bool m_sessionEnding = false;
    bool m_unloaded = false;
    bool ExitRequested = false;
    bool m_hintsPending = false;
    bool m_startRequested = false; // the start-up request went out before the window
    bool m_restoring = false; // shown again, not yet on screen
    Qt::WindowState m_restoringTo = Qt::WindowNoState; // and in which state
    bool m_fitPending = false; // shown, its frame not yet known
    RateLimit m_chatCloseReload;

    QString BadgeLink;
    QString LinkStart;
    QString LinkClose;

    // A saved outer size (frame included) waits here until the window manager
    // has framed the window and the frame's size is known.
    int m_wantedOuterWidth = 0;
    int m_wantedOuterHeight = 0;

    QTimer m_exitDeadline;

    QMenu *mnuFile = nullptr;
    QAction *mnureload = nullptr;
    QAction *mnuSetings = nullptr;
    QAction *mnuStart = nullptr;
    QAction *mnuShow = nullptr;
    QAction *mnutop = nullptr;
    QAction *mnubadge = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnustatus = nullptr;
    QAction *mnuonline = nullptr;
    QAction *mnuoffline = nullptr;
    QAction *mnuaway = nullptr;
    QAction *mnusite = nullptr; // what the owner's site shows, in words
    QAction *mnuabout = nullptr;
    QMenu *mnutray = nullptr;
    QAction *mnuRestore = nullptr;
    QAction *mnuMaximize = nullptr;
    QAction *mnuMinimize = nullptr;
    QAction *mnuTrayTop = nullptr;
    QAction *mnuTrayStart = nullptr;
    QAction *mnutraytask = nullptr;
    QAction *mnutrayexit = nullptr;

    QWidget *m_client = nullptr;
    QWebEngineView *webChat = nullptr;
    QFrame *Frame1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;

    QWebEngineProfile *m_profile = nullptr;
    // The badge page's view, never shown. A chat window that keeps the badge
    // as its opener is painted only while the badge page has a view.
    QWebEngineView *WebBrowser1 = nullptr;
    BadgePage *m_badgePage = nullptr;
    QWebEnginePage *m_chatPage = nullptr; // the page webChat shows
    QNetworkAccessManager *m_network = nullptr;
    Presence *m_presence = nullptr; // sends through webStart
    StatusRequester *webClose = nullptr;
    TrayIcon *m_tray = nullptr;
    ChatAttention *m_attention = nullptr;
};
