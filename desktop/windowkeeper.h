#pragma once

#include <QObject>
#include <QSize>

class QWidget;

// The life of a top-level window that lives in the notification area: it is
// hidden there rather than minimized (whoever minimizes it: the program, the
// title bar's button or the window manager), brought back normal or
// maximized and to the front, kept on the screen, and given its two desktop
// toggles (always on top, taskbar button) on every native window and every
// showing, since the desktop forgets them while the window is hidden.
// Without a notification area a hidden window could not be brought back:
// there it stays minimized, with a taskbar button.
class WindowKeeper : public QObject {
    Q_OBJECT
public:
    explicit WindowKeeper(QWidget *window);

    void setAlwaysOnTop(bool on);
    void setShowInTaskbar(bool shows);

    void hideInTray();
    // Shown in `state` (normal or maximized) and, unless always on top, in front.
    void restore(Qt::WindowState state);
    // A minimized window goes to the notification area; any other is shown.
    void showUnlessMinimized();

    // A saved outer size, frame included, in pixels (0: keep that side). It
    // waits until the window manager has framed the window.
    void setWantedOuterWidth(int pixels);
    void setWantedOuterHeight(int pixels);
    // The outer size to save: the wanted one while it still waits.
    QSize outerSize() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchNativeWindow();
    void applyHints();
    void windowStateChanged();
    void hideIfMinimized();
    void shown();
    void keepOnScreen();
    void fitOnceFramed();
    void applyWantedOuterSize();

    QWidget *m_window;
    bool m_onTop = false;
    bool m_inTaskbar = false;
    bool m_hintsPending = false; // shown, the hints not yet set on the mapped window
    bool m_restoring = false; // shown again, not yet on screen
    Qt::WindowState m_restoringTo = Qt::WindowNoState; // and in which state
    bool m_fitPending = false; // shown, its frame not yet known
    int m_wantedOuterWidth = 0;
    int m_wantedOuterHeight = 0;
};
