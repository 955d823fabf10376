#include "web/browserprofile.h"

#include <QWebEngineNotification>
#include <QWebEngineProfile>

BrowserProfile::BrowserProfile(QObject *parent)
    : QObject(parent), m_profile(new QWebEngineProfile(QStringLiteral("TalvorinTool"), this))
{
    m_profile->setNotificationPresenter([this](std::unique_ptr<QWebEngineNotification> note) {
        emit notificationArrived(note->title(), note->message());
        note->show();
    });
}
