#include "main_window/startuprequest.h"

#include "settings/settingsfile.h"
#include "settings/settingsformat.h"

#include <QNetworkAccessManager>

namespace {

// Keeps the start link and nothing else: the toggles and the size are the
// window's, replayed when it reads the file itself.
class StartLinkOnly : public SettingsTarget {
public:
    QString link;

    void setLink(Link which, const QString &value) override
    {
        if (which == Link::Start)
            link = value;
    }
    void toggleAlwaysOnTop() override { }
    void toggleShowInTaskbar() override { }
    void setStartWithWindowsChecked(bool) override { }
    void setOuterHeight(double) override { }
    void setOuterWidth(double) override { }
};

} // namespace

std::unique_ptr<StatusRequester> sendStartupRequest(const SettingsFile &file)
{
    StartLinkOnly settings;
    applySettingsFile(file.read(), settings);
    auto *network = new QNetworkAccessManager;
    auto webStart = std::make_unique<StatusRequester>(network, QStringLiteral("webStart"), nullptr);
    network->setParent(webStart.get());
    // Sent even when empty, as at every start: the requester reports it done.
    webStart->open(settings.link);
    return webStart;
}
