#pragma once

#include <QList>
#include <QUrl>
#include <QWebEnginePage>

// What a page may use beside its own content, decided from the facts of the
// request alone.

// The hidden badge page, or a page the owner sees (the chat, a login window).
enum class PageRole { Badge, Shown };

enum class PermissionAnswer { Grant, Refuse, AskOwner };

// Web notifications only for the program's own sites (the badge's and the
// chats it opened), so a page elsewhere cannot raise the unread count; the
// microphone, the camera and the screen only as the owner answers, and never
// for the hidden badge; location, mouse lock and the rest never.
PermissionAnswer permissionAnswer(QWebEnginePage::Feature feature, PageRole role,
                                  const QUrl &origin, const QList<QUrl> &ownSites);

// Scheme, host and port alike, as permissions go by.
bool isSameSite(const QUrl &one, const QUrl &other);
