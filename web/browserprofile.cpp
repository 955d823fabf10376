#include "web/browserprofile.h"

#include <QWebEngineNotification>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

BrowserProfile::BrowserProfile(QObject *parent)
    : QObject(parent), m_profile(new QWebEngineProfile(QStringLiteral("TalvorinTool"), this))
{
    // A chat rings for a new message whether or not the owner has clicked
    // into it, and while the window is hidden in the tray.
    m_profile->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    m_profile->setNotificationPresenter([this](std::unique_ptr<QWebEngineNotification> note) {
        emit notificationArrived(note->title(), note->message());
        note->show();
    });
}
