#include "web/browserprofile.h"

#include "web/dictionaries.h"
#include "web/sitepermissions.h"
#include "web/spellinglanguages.h"
#include "web/viewsettings.h"

#include <QFileInfo>
#include <QLocale>
#include <QWebEngineNotification>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

BrowserProfile::BrowserProfile(QObject *parent)
    : QObject(parent),
      m_profile(new QWebEngineProfile(QStringLiteral("TalvorinTool"), this)),
      m_viewSettings(new ViewSettings(
              QFileInfo(m_profile->persistentStoragePath()).absolutePath()
                      + QStringLiteral("/view.ini"),
              this)),
      m_permissions(new SitePermissions(m_viewSettings, this)),
      m_spellingLanguages(dictionaryLanguages(dictionariesFolder()))
{
    // A chat rings for a new message whether or not the owner has clicked
    // into it, and while the window is hidden in the tray.
    m_profile->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    m_profile->setNotificationPresenter([this](std::unique_ptr<QWebEngineNotification> note) {
        emit notificationArrived(note->title(), note->message());
        note->show();
    });
    applySpelling();
    connect(m_viewSettings, &ViewSettings::spellingChoiceChanged, this,
            &BrowserProfile::applySpelling);
}

QString BrowserProfile::spellingLanguage() const
{
    return spellingLanguageFor(m_viewSettings->spellingChoice(), QLocale::system(),
                               m_spellingLanguages);
}

void BrowserProfile::applySpelling()
{
    const QString language = spellingLanguage();
    if (!language.isEmpty())
        m_profile->setSpellCheckLanguages({ language });
    m_profile->setSpellCheckEnabled(!language.isEmpty());
}
