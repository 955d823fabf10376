#include "web/webview.h"

#include "web/browserprofile.h"
#include "web/contextmenurules.h"
#include "web/sitepermissions.h"
#include "web/findbar.h"
#include "web/viewsettings.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMenu>
#include <QWheelEvent>

#include <optional>

namespace {

std::optional<QWebEnginePage::WebAction> engineAction(MenuEntry::Kind kind)
{
    switch (kind) {
    case MenuEntry::Undo: return QWebEnginePage::Undo;
    case MenuEntry::Redo: return QWebEnginePage::Redo;
    case MenuEntry::Cut: return QWebEnginePage::Cut;
    case MenuEntry::Copy: return QWebEnginePage::Copy;
    case MenuEntry::Paste: return QWebEnginePage::Paste;
    case MenuEntry::SelectAll: return QWebEnginePage::SelectAll;
    case MenuEntry::CopyLink: return QWebEnginePage::CopyLinkToClipboard;
    case MenuEntry::CopyImage: return QWebEnginePage::CopyImageToClipboard;
    // Whoever handles the profile's downloads saves it.
    case MenuEntry::SaveImage: return QWebEnginePage::DownloadImageToDisk;
    default: return std::nullopt;
    }
}

QKeySequence shortcutShown(MenuEntry::Kind kind)
{
    switch (kind) {
    case MenuEntry::ZoomIn: return QKeySequence(Qt::CTRL | Qt::Key_Plus);
    case MenuEntry::ZoomOut: return QKeySequence(Qt::CTRL | Qt::Key_Minus);
    case MenuEntry::ActualSize: return QKeySequence(Qt::CTRL | Qt::Key_0);
    case MenuEntry::Find: return QKeySequence(QKeySequence::Find);
    default: return {};
    }
}

} // namespace

WebView::WebView(QWidget *parent) : QWebEngineView(parent), m_findBar(new FindBar(this))
{
    // A page the view shows next (a fresh one for each chat, or the next
    // address of the same page) takes the level the owner chose.
    connect(this, &QWebEngineView::loadStarted, this, &WebView::applyZoom);
    connect(this, &QWebEngineView::urlChanged, this, &WebView::applyZoom);
}

void WebView::useProfile(BrowserProfile *profile)
{
    m_profile = profile;
    connect(profile->viewSettings(), &ViewSettings::zoomChanged, this, &WebView::applyZoom);
    applyZoom();
}

void WebView::zoom(ZoomChange change)
{
    if (m_profile)
        m_profile->viewSettings()->setZoomFactor(
                zoomed(m_profile->viewSettings()->zoomFactor(), change));
}

void WebView::openFindBar()
{
    m_findBar->open();
}

void WebView::applyZoom()
{
    if (m_profile && page())
        page()->setZoomFactor(m_profile->viewSettings()->zoomFactor());
}

void WebView::childEvent(QChildEvent *event)
{
    if (event->added() && event->child()->isWidgetType())
        event->child()->installEventFilter(this);
    QWebEngineView::childEvent(event);
}

bool WebView::eventFilter(QObject *watched, QEvent *event)
{
    ZoomChange change = ZoomChange::None;
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Find) && !static_cast<QWidget *>(watched)->isWindow()) {
            openFindBar();
            return true;
        }
        change = zoomChangeForKey(key->key(), key->modifiers());
    } else if (event->type() == QEvent::Wheel) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        change = zoomChangeForWheel(wheel->angleDelta().y(), wheel->modifiers());
    }
    // Not in a window of the view's own (its context menu).
    if (change == ZoomChange::None || !m_profile || static_cast<QWidget *>(watched)->isWindow())
        return QWebEngineView::eventFilter(watched, event);
    zoom(change);
    return true;
}

void WebView::contextMenuEvent(QContextMenuEvent *event)
{
    const QWebEngineContextMenuRequest *request = lastContextMenuRequest();
    if (!request)
        return;
    ContextFacts facts;
    facts.editable = request->isContentEditable();
    facts.selectedText = request->selectedText();
    facts.link = request->linkUrl();
    facts.image = request->mediaType() == QWebEngineContextMenuRequest::MediaTypeImage;
    facts.misspelledWord = request->misspelledWord();
    facts.suggestions = request->spellCheckerSuggestions();
    facts.editFlags = request->editFlags();
    facts.zoomFactor = page()->zoomFactor();
    if (m_profile) {
        facts.spellingLanguages = m_profile->spellingLanguages();
        facts.spellingLanguage = m_profile->spellingLanguage();
        facts.siteRemembered = m_profile->permissions()->remembers(page()->url());
    }
    m_clickedLink = facts.link;
    m_clickedImage = request->mediaUrl();
    const QList<MenuEntry> entries = contextMenuEntries(facts);

    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    addEntries(menu, { entries.cbegin(), entries.cend() });
    menu->popup(event->globalPos());
}

void WebView::addEntries(QMenu *menu, const std::vector<MenuEntry> &entries)
{
    for (const MenuEntry &entry : entries) {
        if (entry.kind == MenuEntry::Separator) {
            menu->addSeparator();
        } else if (entry.kind == MenuEntry::Spelling) {
            addEntries(menu->addMenu(entry.text), entry.submenu);
        } else {
            QAction *action = menu->addAction(entry.text, this, [this, entry] { run(entry); });
            action->setEnabled(entry.enabled);
            action->setShortcut(shortcutShown(entry.kind));
            action->setCheckable(entry.kind == MenuEntry::SpellingLanguage);
            action->setChecked(entry.checked);
        }
    }
}

void WebView::run(const MenuEntry &entry)
{
    if (entry.kind == MenuEntry::SaveImage && m_profile)
        m_profile->noteOwnersSave(m_clickedImage);
    if (const auto action = engineAction(entry.kind))
        return page()->triggerAction(*action);
    switch (entry.kind) {
    case MenuEntry::Suggestion:
        page()->replaceMisspelledWord(entry.value);
        break;
    case MenuEntry::OpenLink:
        QDesktopServices::openUrl(m_clickedLink);
        break;
    case MenuEntry::ZoomIn:
        zoom(ZoomChange::In);
        break;
    case MenuEntry::ZoomOut:
        zoom(ZoomChange::Out);
        break;
    case MenuEntry::ActualSize:
        zoom(ZoomChange::ActualSize);
        break;
    case MenuEntry::Find:
        openFindBar();
        break;
    case MenuEntry::SpellingLanguage:
        if (m_profile)
            m_profile->viewSettings()->setSpellingChoice(entry.value);
        break;
    case MenuEntry::ForgetSitePermissions:
        if (m_profile)
            m_profile->permissions()->forget(page()->url());
        break;
    default:
        break;
    }
}
