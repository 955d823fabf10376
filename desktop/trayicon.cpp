#include "desktop/trayicon.h"

#include "desktop/badgedicon.h"
#include "desktop/trayactions.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace {

const char kToolTip[] = "Talvorin Tool for GoogleTalk. Click to show or right click for menu";

} // namespace

TrayIcon::TrayIcon(const QIcon &icon, QMenu *menu, QObject *parent)
    : QObject(parent), m_ownIcon(icon), m_icon(new QSystemTrayIcon(icon, this))
{
    m_icon->setObjectName(QStringLiteral("TrayIcon"));
    m_icon->setToolTip(QString::fromLatin1(kToolTip));
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
    m_icon->setIcon(badgedIcon(m_ownIcon, unread));
    if (unread <= 0)
        m_icon->setToolTip(QString::fromLatin1(kToolTip));
    else if (unread == 1)
        m_icon->setToolTip(QStringLiteral("1 new message"));
    else
        m_icon->setToolTip(QStringLiteral("%1 new messages").arg(unread));
}
