#include "web/sitepermissions.h"

#include "web/viewsettings.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcPermissions, "talvorin.permissions", QtWarningMsg)

namespace {

void reply(QObject *page, const QUrl &origin, QWebEnginePage::Feature feature, bool granted)
{
    qCDebug(lcPermissions) << origin << feature << granted;
    static_cast<QWebEnginePage *>(page)->setFeaturePermission(
            origin, feature,
            granted ? QWebEnginePage::PermissionGrantedByUser
                    : QWebEnginePage::PermissionDeniedByUser);
}

} // namespace

SitePermissions::SitePermissions(ViewSettings *settings, QObject *parent)
    : QObject(parent),
      m_settings(settings),
      m_calls(settings->callAnswers(true), settings->callAnswers(false))
{
}

void SitePermissions::watch(QWebEnginePage *page, PageRole role)
{
    connect(page, &QWebEnginePage::featurePermissionRequested, this,
            [this, page, role](const QUrl &origin, QWebEnginePage::Feature feature) {
                onRequested(page, role, origin, feature);
            });
    // A question that no page waits for any more goes unanswered.
    connect(page, &QWebEnginePage::featurePermissionRequestCanceled, this,
            [this, page](const QUrl &origin, QWebEnginePage::Feature feature) {
                if (callKindOf(feature)) {
                    m_calls.drop({ page, origin, feature });
                    settle();
                }
            });
    // A page that loads another document, or loses its renderer, leaves its
    // questions, and what it asked is refused, so that no request of it is
    // left open in the engine. (A document that only changes its address
    // stays, and so do its questions.)
    const auto left = [this, page] {
        for (const CallRequest &request : m_calls.drop(page))
            reply(page, request.origin, request.feature, false);
        settle();
    };
    connect(page, &QWebEnginePage::loadStarted, this, left);
    connect(page, &QWebEnginePage::renderProcessTerminated, this, left);
    connect(page, &QObject::destroyed, this, [this, page] {
        m_calls.drop(page);
        settle();
    });
}

void SitePermissions::addOwnSite(const QUrl &url)
{
    if (!std::any_of(m_ownSites.cbegin(), m_ownSites.cend(),
                     [&url](const QUrl &site) { return isSameSite(site, url); }))
        m_ownSites.append(url);
}

void SitePermissions::onRequested(QWebEnginePage *page, PageRole role, const QUrl &origin,
                                  QWebEnginePage::Feature feature)
{
    switch (permissionAnswer(feature, role, origin, m_ownSites)) {
    case PermissionAnswer::Grant:
        return reply(page, origin, feature, true);
    case PermissionAnswer::Refuse:
        return reply(page, origin, feature, false);
    case PermissionAnswer::AskOwner:
        break;
    }
    switch (m_calls.request({ page, origin, feature })) {
    case CallPermissions::Reply::Allow:
        return reply(page, origin, feature, true);
    case CallPermissions::Reply::Block:
        return reply(page, origin, feature, false);
    case CallPermissions::Reply::Ask:
        return settle(); // behind another question it waits its turn
    case CallPermissions::Reply::Waits:
        qCDebug(lcPermissions) << "asked again while the owner is asked:" << origin << feature;
        return;
    }
}

void SitePermissions::answer(bool allow, bool remember)
{
    for (const CallRequest &request : m_calls.answer(allow, remember))
        reply(request.page, request.origin, request.feature, allow);
    if (remember)
        keepAnswers();
    settle();
}

void SitePermissions::forget(const QUrl &site)
{
    m_calls.forget(site);
    keepAnswers();
}

void SitePermissions::keepAnswers()
{
    m_settings->setCallAnswers(m_calls.remembered(true), m_calls.remembered(false));
}

void SitePermissions::settle()
{
    if (m_calls.question() == m_asked)
        return;
    m_asked = m_calls.question();
    emit questionChanged();
}
