#include "presence/earlystart.h"

#include "settings/settingsfile.h"
#include "settings/settingsformat.h"

#include <QNetworkAccessManager>

namespace {

// Keeps the two status links and nothing else: the toggles and the size are
// the window's, replayed when it reads the file itself.
class StatusLinksOnly : public SettingsTarget {
public:
    QString start;
    QString close;

    void setLink(Link which, const QString &value) override
    {
        if (which == Link::Start)
            start = value;
        else if (which == Link::Close)
            close = value;
    }
    void toggleAlwaysOnTop() override { }
    void toggleShowInTaskbar() override { }
    void setStartWithWindowsChecked(bool) override { }
    void setOuterHeight(double) override { }
    void setOuterWidth(double) override { }
};

} // namespace

std::unique_ptr<Presence> startPresenceEarly(const SettingsFile &file)
{
    StatusLinksOnly links;
    applySettingsFile(file.read(), links);
    auto *network = new QNetworkAccessManager;
    auto presence = std::make_unique<Presence>(
            network,
            Presence::Links { [start = links.start] { return start; },
                              [close = links.close] { return close; } },
            PresenceTimings(), nullptr);
    network->setParent(presence.get());
    presence->start();
    return presence;
}
