#pragma once

#include "desktop/badgedicon.h"

#include <QIcon>
#include <QObject>
#include <QUrl>

#include <utility>

class QMenu;
class QSystemTrayIcon;
class SiteStatus;

// The program's icon in the notification area, with its tooltip and menu.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    TrayIcon(const QIcon &icon, QMenu *menu, QObject *parent);

    void show();
    void remove();

    // Whether a notification area is there to hold the icon now; without one
    // a hidden window could not be brought back.
    static bool isAvailable();

    // A message next to the icon; clicking it asks for the window.
    void notify(const QString &title, const QString &text);
    // A message whose click opens `opens` (a folder, say) instead.
    void notifyOpening(const QString &title, const QString &text, const QUrl &opens);
    // The number of unread chat messages, on the icon and in its tooltip.
    void showUnread(int unread);

public slots:
    // What the owner's site shows, on the icon and in a line of the tooltip.
    void showSiteStatus(const SiteStatus &status);
    // One message: the site has not heard that the owner is online.
    void tellSiteUnheard();
    // What running downloads have done, in lines of their own; empty when none runs.
    void showDownloads(const QString &lines);

signals:
    void restoreRequested();
    void doubleClicked();

private:
    void update();

    QIcon m_ownIcon;
    QSystemTrayIcon *m_icon;
    int m_unread = 0;
    StatusLook m_look = StatusLook::Own;
    QString m_siteWords;
    QString m_downloads;
    QUrl m_messageOpens; // what a click on the message shown opens; empty: the window
    std::pair<QString, StatusLook> m_drawn { QString(), StatusLook::Own }; // what the icon shows
};
