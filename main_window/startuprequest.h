#pragma once

#include "main_window/statusrequester.h"

#include <memory>

class SettingsFile;

// Sends the start-up status link that the settings file holds, read as the
// main window reads it, through a webStart of its own network access. Made
// before the main window, so the owner's site hears of the start while the
// window and its browsers are still being built; the window then takes the
// requester over and sends no second request.
std::unique_ptr<StatusRequester> sendStartupRequest(const SettingsFile &file);
