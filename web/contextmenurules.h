#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEngineContextMenuRequest>

#include <vector>

// What the chat's context menu holds, decided from the facts of the click
// alone: things to do with what was clicked, and nothing that leaves the chat
// or shows the browser behind it (no Back, Reload, page source, Inspect).

struct ContextFacts {
    bool editable = false;
    QString selectedText;
    QUrl link;
    bool image = false;
    QString misspelledWord;
    QStringList suggestions;
    // What the engine allows for what was clicked.
    QWebEngineContextMenuRequest::EditFlags editFlags;
    qreal zoomFactor = 1.0;
    // The dictionaries the program has and the one in use (empty: off).
    QStringList spellingLanguages;
    QString spellingLanguage;
    // The page's site has answers to calls that the owner chose to remember.
    bool siteRemembered = false;
};

struct MenuEntry {
    enum Kind {
        Separator,
        Suggestion, // replaces the misspelt word with `value`
        Undo,
        Redo,
        Cut,
        Copy,
        Paste,
        SelectAll,
        OpenLink,
        CopyLink,
        CopyImage,
        SaveImage,
        Find, // the find bar
        ZoomIn,
        ZoomOut,
        ActualSize,
        Spelling, // the submenu
        SpellingLanguage, // checks with `value`; empty is "Off"
        ForgetSitePermissions,
        Note, // a line that says something; nothing to choose
    };
    Kind kind;
    QString text;
    QString value;
    bool enabled = true;
    bool checked = false; // a spelling language: the one in use
    std::vector<MenuEntry> submenu;
};

// Groups in this order, a separator between two: the suggestions for a
// misspelt word; the link; the image; editing; finding; zoom; the spelling
// submenu on text fields; forgetting the site's remembered answers, where it
// has any.
QList<MenuEntry> contextMenuEntries(const ContextFacts &facts);
