#pragma once

#include <QIcon>

// How the icon shows what the owner's site shows: the owner's own icon, greyed
// (offline, or no answer yet), dimmed (away), or with a warning mark in the
// lower right corner (the site not reached, or answering with an error).
enum class StatusLook { Own, Greyed, Dimmed, Warning };

// The program's icon with the site status and the number of unread messages
// on it: a red badge in the top right corner, "9+" above nine, drawn anew for
// each size a tray asks for so that the digits and the marks stay sharp and
// readable at 22 pixels. Without either the icon is the program's own.
QIcon badgedIcon(const QIcon &icon, int unread, StatusLook look = StatusLook::Own);
// What the badge says: empty without unread messages.
QString badgeText(int unread);
