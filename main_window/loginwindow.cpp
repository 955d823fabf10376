#include "main_window/loginwindow.h"

#include "web/browserprofile.h"
#include "web/webpage.h"
#include "web/sitepermissions.h"
#include "desktop/screenfit.h"

#include <QScreen>

LoginWindow::LoginWindow(BrowserProfile *profile, std::function<bool(const QUrl &)> allows,
                         QWidget *parent)
    : WebView(parent)
{
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("LoginWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setPage(new WebPage(profile->profile(), std::move(allows), this));
    useProfile(profile);
    profile->permissions()->watch(page(), PageRole::Shown);
    connect(this, &QWebEngineView::titleChanged, this, &QWidget::setWindowTitle);
    // The size a page asks for with window.open, as far as the screen allows.
    connect(page(), &QWebEnginePage::geometryChangeRequested, this, [this](const QRect &wanted) {
        if (wanted.isEmpty())
            return;
        resize(fittedInto(QRect(QPoint(), wanted.size()), screen()->availableGeometry()).size());
    });
    // The keyboard reaches a page only through the view's inner widget, which
    // comes with the first load: hand it the focus the window already has.
    connect(this, &QWebEngineView::loadFinished, this, [this] {
        if (isActiveWindow())
            setFocus();
    });
    resize(800, 600);
}

void LoginWindow::present()
{
    show();
    raise();
    activateWindow();
    setFocus();
}
