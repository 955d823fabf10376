#pragma once

#include <QUrl>

// An address on the web (http, https): the only kind the program hands to the
// user's browser, and one every page of the program may go to.
bool isWebLink(const QUrl &link);

// Where a page of the program may go: the web, blank pages, and local files
// only where the owner's own badge link is a local file, and then only inside
// that file's directory. Nothing else (other files, other schemes such as
// chrome: or javascript:).
bool isNavigationAllowed(const QUrl &target, const QUrl &badgeLink);
