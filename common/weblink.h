#pragma once

#include <QUrl>

// An address on the web (http, https): the only kind the program hands to the
// user's browser, one every page of the program may go to, and the only kind
// a status request follows a redirect to.
bool isWebLink(const QUrl &link);
