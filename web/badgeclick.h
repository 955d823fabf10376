#pragma once

#include <QString>

// What the badge page says to the automation, apart from any browser.

// A completed badge page gets its first link clicked when the document is
// complete and its body's HTML does not say "cannot" anywhere, markup and
// scripts included (the badge service's way of saying the chat is not
// available). Case matters: "Cannot" does not stop the click.
bool shouldClickBadge(const QString &readyState, const QString &bodyHtml);

// The badge service titles its page so while the owner is logged out.
bool isLoggedOut(const QString &pageTitle);
