#include "presence/earlystart.h"

#include "settings/settingsfile.h"
#include "settings/settingsformat.h"

#include <QNetworkAccessManager>

std::unique_ptr<Presence> startPresenceEarly(const SettingsFile &file)
{
    // Only the two status links; the toggles and the size are the window's,
    // replayed when it reads the file itself.
    SettingsStateTarget read;
    applySettingsFile(file.read(), read);
    auto *network = new QNetworkAccessManager;
    auto presence = std::make_unique<Presence>(
            network,
            Presence::Links { [start = read.state.linkStart] { return start; },
                              [close = read.state.linkClose] { return close; } },
            PresenceTimings(), nullptr);
    network->setParent(presence.get());
    presence->start();
    return presence;
}
