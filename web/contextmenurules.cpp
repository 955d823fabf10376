#include "web/contextmenurules.h"

#include "common/weblink.h"
#include "web/spellinglanguages.h"
#include "web/zoomsteps.h"

using Request = QWebEngineContextMenuRequest;

namespace {

MenuEntry entry(MenuEntry::Kind kind, const QString &text, bool enabled = true)
{
    return { kind, text, {}, enabled, false, {} };
}

// On a field: the whole editing group, each as the engine allows it. Elsewhere
// only what makes sense on a page: copying a selection, and selecting all
// where no link or image was clicked.
QList<MenuEntry> editing(const ContextFacts &facts)
{
    const auto allows = [&facts](Request::EditFlag flag) {
        return facts.editFlags.testFlag(flag);
    };
    if (facts.editable)
        return { entry(MenuEntry::Undo, QStringLiteral("Undo"), allows(Request::CanUndo)),
                 entry(MenuEntry::Redo, QStringLiteral("Redo"), allows(Request::CanRedo)),
                 entry(MenuEntry::Cut, QStringLiteral("Cut"), allows(Request::CanCut)),
                 entry(MenuEntry::Copy, QStringLiteral("Copy"), allows(Request::CanCopy)),
                 entry(MenuEntry::Paste, QStringLiteral("Paste"), allows(Request::CanPaste)),
                 entry(MenuEntry::SelectAll, QStringLiteral("Select all"),
                       allows(Request::CanSelectAll)) };
    QList<MenuEntry> group;
    if (!facts.selectedText.isEmpty())
        group.append(entry(MenuEntry::Copy, QStringLiteral("Copy"), allows(Request::CanCopy)));
    if (facts.link.isEmpty() && !facts.image)
        group.append(entry(MenuEntry::SelectAll, QStringLiteral("Select all"),
                           allows(Request::CanSelectAll)));
    return group;
}

MenuEntry spellingMenu(const ContextFacts &facts)
{
    MenuEntry menu = entry(MenuEntry::Spelling, QStringLiteral("Spelling"));
    // Rather than an empty menu, or an "Off" that turns nothing off.
    if (facts.spellingLanguages.isEmpty()) {
        menu.submenu.push_back(entry(MenuEntry::Note, QStringLiteral("No dictionaries found"), false));
        return menu;
    }
    const auto add = [&](const QString &text, const QString &language) {
        MenuEntry choice = entry(MenuEntry::SpellingLanguage, text);
        choice.value = language;
        choice.checked = language == facts.spellingLanguage;
        menu.submenu.push_back(choice);
    };
    for (const QString &language : facts.spellingLanguages)
        add(spellingLanguageName(language), language);
    add(QStringLiteral("Off"), QString());
    return menu;
}

} // namespace

QList<MenuEntry> contextMenuEntries(const ContextFacts &facts)
{
    QList<QList<MenuEntry>> groups;
    if (facts.editable && !facts.misspelledWord.isEmpty()) {
        QList<MenuEntry> suggestions;
        for (const QString &word : facts.suggestions) {
            MenuEntry suggestion = entry(MenuEntry::Suggestion, word);
            suggestion.value = word;
            suggestions.append(suggestion);
        }
        groups.append(suggestions);
    }
    if (!facts.link.isEmpty()) {
        QList<MenuEntry> link;
        if (isWebLink(facts.link))
            link.append(entry(MenuEntry::OpenLink, QStringLiteral("Open link in browser")));
        link.append(entry(MenuEntry::CopyLink, QStringLiteral("Copy link address")));
        groups.append(link);
    }
    if (facts.image)
        groups.append({ entry(MenuEntry::CopyImage, QStringLiteral("Copy image")),
                        entry(MenuEntry::SaveImage, QStringLiteral("Save image")) });
    groups.append(editing(facts));
    groups.append({ entry(MenuEntry::Find, QStringLiteral("Find\u2026")) });
    const qreal zoom = usableZoom(facts.zoomFactor);
    groups.append({ entry(MenuEntry::ZoomIn, QStringLiteral("Zoom in"),
                          zoomed(zoom, ZoomChange::In) > zoom),
                    entry(MenuEntry::ZoomOut, QStringLiteral("Zoom out"),
                          zoomed(zoom, ZoomChange::Out) < zoom),
                    entry(MenuEntry::ActualSize, QStringLiteral("Actual size"),
                          !qFuzzyCompare(zoom, kActualSize)) });
    if (facts.editable)
        groups.append({ spellingMenu(facts) });
    if (facts.siteRemembered)
        groups.append({ entry(MenuEntry::ForgetSitePermissions,
                              QStringLiteral("Forget site permissions")) });

    QList<MenuEntry> entries;
    for (const QList<MenuEntry> &group : groups) {
        if (group.isEmpty())
            continue;
        if (!entries.isEmpty())
            entries.append(entry(MenuEntry::Separator, QString()));
        entries.append(group);
    }
    return entries;
}
