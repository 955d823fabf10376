#include "desktop/trayicon.h"

#include "desktop/trayactions.h"
#include "presence/sitestatus.h"

#include <QDesktopServices>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {

const char kTip[] = "Talvorin Tool for GoogleTalk. Click to show or right click for menu";

StatusLook lookOf(SiteStatus::State state)
{
    using State = SiteStatus::State;
    switch (state) {
    case State::Asking:
    case State::Offline:
        return StatusLook::Greyed;
    case State::Away:
        return StatusLook::Dimmed;
    case State::NotReached:
    case State::SiteError:
        return StatusLook::Warning;
    case State::Online:
    case State::NotTold:
        break;
    }
    return StatusLook::Own;
}

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
    connect(m_icon, &QSystemTrayIcon::messageClicked, this, [this] {
        if (m_messageOpens.isEmpty())
            emit restoreRequested();
        else
            QDesktopServices::openUrl(m_messageOpens);
    });
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
    notifyOpening(title, text, {});
}

void TrayIcon::notifyOpening(const QString &title, const QString &text, const QUrl &opens)
{
    m_messageOpens = opens;
    m_icon->showMessage(title, text, m_ownIcon);
}

void TrayIcon::showDownloads(const QString &lines)
{
    m_downloads = lines;
    update();
}

void TrayIcon::showUnread(int unread)
{
    m_unread = unread;
    update();
}

void TrayIcon::showSiteStatus(const SiteStatus &status)
{
    m_look = lookOf(status.state());
    m_siteWords = status.words();
    update();
}

void TrayIcon::tellSiteUnheard()
{
    notify(QStringLiteral("Your site has not heard from you"),
           QStringLiteral("Your site could not be told that you are online, so visitors do not "
                          "see you there. TalvorinTool keeps trying."));
}

// Unread messages come first: they are what the owner has to act on. The
// site's status follows on a line of its own.
void TrayIcon::update()
{
    // A busy chat raises the count every second, but the badge says "9+" for
    // all of them, and a retried request repeats the same look: each icon
    // drawn anew for what already shows would only fill Qt's pixmap cache.
    const std::pair<QString, StatusLook> look { badgeText(m_unread), m_look };
    if (look != m_drawn) {
        m_drawn = look;
        m_icon->setIcon(badgedIcon(m_ownIcon, m_unread, m_look));
    }
    QString tip = QString::fromLatin1(kTip);
    if (m_unread == 1)
        tip = QStringLiteral("1 new message");
    else if (m_unread > 1)
        tip = QStringLiteral("%1 new messages").arg(m_unread);
    for (const QString &line : { m_siteWords, m_downloads }) {
        if (!line.isEmpty())
            tip += u'\n' + line;
    }
    m_icon->setToolTip(tip);
}
