#include "desktop/trayicon.h"

#include "desktop/badgedicon.h"
#include "desktop/trayactions.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace {

const char kTip[] = "Talvorin Tool for GoogleTalk. Click to show or right click for menu";
const char kAwayTip[] = "Talvorin Tool for GoogleTalk. Your site shows you as away until you "
                        "are back. Click to show or right click for menu";

} // namespace

TrayIcon::TrayIcon(const QIcon &icon, QMenu *menu, QObject *parent)
    : QObject(parent), m_ownIcon(icon), m_icon(new QSystemTrayIcon(icon, this))
{
    m_icon->setObjectName(QStringLiteral("TrayIcon"));
    m_icon->setToolTip(QString::fromLatin1(kTip));
    // The desktop shows the menu for the right button itself (a D-Bus tray
    // even draws it), so Context needs no answer here.
    m_icon->setContextMenu(menu);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (trayActionFor(reason)) {
                case TrayAction::Restore:
                    emit restoreRequested();
                    break;
                case TrayAction::DoubleClickMessage:
                    emit doubleClicked();
                    break;
                case TrayAction::None:
                    break;
                }
            });
    connect(m_icon, &QSystemTrayIcon::messageClicked, this, &TrayIcon::restoreRequested);
}

void TrayIcon::show()
{
    m_icon->show();
}

void TrayIcon::remove()
{
    m_icon->hide();
}

bool TrayIcon::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::notify(const QString &title, const QString &text)
{
    m_icon->showMessage(title, text, m_ownIcon);
}

void TrayIcon::showUnread(int unread)
{
    // A busy chat raises the count every second, but the badge says "9+" for
    // all of them: each new icon would only fill Qt's pixmap cache anew.
    if (badgeText(unread) != badgeText(m_unread))
        m_icon->setIcon(badgedIcon(m_ownIcon, unread));
    m_unread = unread;
    updateToolTip();
}

void TrayIcon::setShownAway(bool away)
{
    m_shownAway = away;
    updateToolTip();
}

// Unread messages come first: they are what the owner has to act on.
void TrayIcon::updateToolTip()
{
    if (m_unread == 1)
        m_icon->setToolTip(QStringLiteral("1 new message"));
    else if (m_unread > 1)
        m_icon->setToolTip(QStringLiteral("%1 new messages").arg(m_unread));
    else
        m_icon->setToolTip(QString::fromLatin1(m_shownAway ? kAwayTip : kTip));
}
