#pragma once

#include "desktop/windowkeeper.h"
#include "main_window/chatscreen.h"
#include "main_window/statusmenu.h"
#include "presence/exitrequest.h"
#include "presence/presence.h"
#include "settings/settingsformat.h"
#include "settings/settingssaver.h"

#include <QAction>
#include <QMainWindow>

#include <memory>

class BadgePage;
class ChatAttention;
class QFrame;
class QMenu;
class QWebEngineView;
class TrayIcon;

// The main window: its menus and their tray twins, the first-run panel
// Frame1, and the settings the file holds. It wires the parts together: the
// chat screen (badge and chat), the window keeper (its life on the desktop),
// the tray icon, the chat's attention and the site status. Closing it only
// hides it; only Exit ends the program.
class frmMain : public QMainWindow, private SettingsTarget {
    Q_OBJECT
public:
    explicit frmMain(const SettingsFile &settingsFile) : frmMain(settingsFile, nullptr) { }
    // With the site status already started (the start-up request gone out
    // before the window was built), load() sends no second one.
    frmMain(const SettingsFile &settingsFile, std::unique_ptr<Presence> started);
    ~frmMain() override;

    // Start-up: reads the settings, sends the start-up status request (unless
    // it went out already) and starts the badge page. Run once, before the
    // window is first shown.
    void load();

    bool isExitRequested() const { return ExitRequested; }
    BadgePage *badgePage() const { return m_chat->badgePage(); }
    QWebEngineView *chatView() const { return m_chat->chatView(); }
    void setExitTimeout(int milliseconds) { m_exit->setTimeout(milliseconds); }

public slots:
    void contacteaza() { m_chat->contacteaza(); }
    void mnuExit_Click();
    void mnureload_Click();
    void mnutop_Click() { mnutop->trigger(); }
    void mnuShow_Click() { mnuShow->trigger(); }
    // Shows the window as a click on the tray icon does.
    void bringBack();
    // The desktop session is ending: run Exit without holding the logout up.
    void sessionEnding();

signals:
    // The window has been unloaded for good; the program may end.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenus();
    void createControls();
    void mnuSetings_Click();
    // The window laid out: a minimized one lives in the notification area.
    void Form_Resize();
    void placeChat();
    void unloadForGood();
    void onStartToggled(bool checked);

    void writeSettings();
    SettingsState currentState() const;

    // SettingsTarget: what the lines of talvorin.ini act on.
    void setLink(Link which, const QString &value) override;
    void toggleAlwaysOnTop() override { mnutop_Click(); }
    void toggleShowInTaskbar() override { mnuShow_Click(); }
    void setStartWithWindowsChecked(bool checked) override { mnuStart->setChecked(checked); }
    void setOuterHeight(double twips) override;
    void setOuterWidth(double twips) override;
    void setAwayWhenIdle(bool on) override { m_status->setAwayWhenIdle(on); }

    SettingsSaver m_saver;
    bool m_applyingSettings = false;
    bool m_sessionEnding = false;
    bool m_unloaded = false;
    bool ExitRequested = false;
    bool m_startRequested = false; // the start-up request went out before the window

    QString BadgeLink;
    QString LinkStart;
    QString LinkClose;

    // The check marks are the toggles' state; the tray's twins show copies.
    QAction *mnuStart = nullptr;
    QAction *mnuShow = nullptr;
    QAction *mnutop = nullptr;
    QMenu *mnutray = nullptr;

    QWidget *m_client = nullptr;
    QFrame *Frame1 = nullptr;

    WindowKeeper *m_keeper;
    ChatScreen *m_chat = nullptr;
    ChatAttention *m_attention = nullptr;
    StatusMenu *m_status = nullptr;
    Presence *m_presence = nullptr; // sends through webStart
    ExitRequest *m_exit = nullptr;
    TrayIcon *m_tray = nullptr;
};
