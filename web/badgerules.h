#pragma once

#include <QString>
#include <QUrl>

// The decisions of the badge automation, apart from any browser.

// A completed badge page gets its first link clicked when the document is
// complete and its body's HTML does not say "cannot" anywhere, markup and
// scripts included (the badge service's way of saying the chat is not
// available). Case matters: "Cannot" does not stop the click.
bool shouldClickBadge(const QString &readyState, const QString &bodyHtml);

// The badge service titles its page so while the owner is logged out.
bool isLoggedOut(const QString &pageTitle);

// Where a page of the program may go: the web (http, https), blank pages,
// and local files only where the owner's own badge link is a local file, and
// then only inside that file's directory. Nothing else (other files, other
// schemes such as chrome: or javascript:).
bool isNavigationAllowed(const QUrl &target, const QUrl &badgeLink);

// A chat view narrower than this (twips) shows no usable chat: the badge
// page is loaded again.
constexpr double kNarrowestChatTwips = 100;
