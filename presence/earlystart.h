#pragma once

#include "presence/presence.h"

#include <memory>

class SettingsFile;

// The site status started before the main window is built: the owner's site
// hears of the start while the window and its browsers are still being made.
// The links are those the settings file holds, read as the window reads it;
// the window then takes the status over and sends no second request.
std::unique_ptr<Presence> startPresenceEarly(const SettingsFile &file);
