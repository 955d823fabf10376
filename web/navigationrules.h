#pragma once

#include <QUrl>

// Where a page of the program may go: the web, blank pages, and local files
// only where the owner's own badge link is a local file, and then only inside
// that file's directory. Nothing else (other files, other schemes such as
// chrome: or javascript:).
bool isNavigationAllowed(const QUrl &target, const QUrl &badgeLink);
