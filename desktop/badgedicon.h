#pragma once

#include <QIcon>

// The program's icon with the number of unread messages on it: a red badge in
// the top right corner, "9+" above nine, drawn anew for each size a tray asks
// for so that the digits stay sharp and readable at 22 pixels. Without unread
// messages the icon is the program's own.
QIcon badgedIcon(const QIcon &icon, int unread);
// What the badge says: empty without unread messages.
QString badgeText(int unread);
