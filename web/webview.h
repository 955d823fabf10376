#pragma once

#include "web/zoomsteps.h"

#include <QWebEngineView>

class BrowserProfile;
class FindBar;
struct MenuEntry;
class QMenu;

// The program's web view, the chat's and the login window's: a view the
// owner works in all day. It zooms with Ctrl and plus, minus, 0
// or the wheel, keeps that level for every page it shows next and in the
// profile's view settings, finds text with Ctrl+F, and has a context menu
// made for a chat (see contextmenurules).
class WebView : public QWebEngineView {
    Q_OBJECT
public:
    explicit WebView(QWidget *parent);

    // The zoom level and the spelling the owner keeps in `profile`; until
    // then the view neither zooms nor offers spelling.
    void useProfile(BrowserProfile *profile);
    void zoom(ZoomChange change);
    void openFindBar();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void childEvent(QChildEvent *event) override;
    // Keys and the wheel reach the page through the view's inner widget:
    // zooming takes them before the page does.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyZoom();
    void addEntries(QMenu *menu, const std::vector<MenuEntry> &entries);
    void run(const MenuEntry &entry);

    BrowserProfile *m_profile = nullptr;
    FindBar *m_findBar;
    QUrl m_clickedLink; // of the menu's click
    QUrl m_clickedImage;
};
