#include "web/chatpage.h"

#include "common/weblink.h"

#include <QDesktopServices>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcChat, "talvorin.chat", QtWarningMsg)

namespace {

// Stands in for the new window just long enough to learn its address, hands
// that to the user's browser and goes.
class ExternalLinkPage : public QWebEnginePage {
public:
    ExternalLinkPage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool) override
    {
        if (isWebLink(url))
            QDesktopServices::openUrl(url);
        else
            qCDebug(lcChat) << "not opened outside:" << url.scheme() << "link";
        deleteLater();
        return false;
    }
};

} // namespace

ChatPage::ChatPage(QWebEngineProfile *profile, NavigationRule allows, QObject *parent)
    : WebPage(profile, std::move(allows), parent)
{
}

QWebEnginePage *ChatPage::createWindow(WebWindowType)
{
    return new ExternalLinkPage(profile(), this);
}
