#include "main_window/loginwindow.h"

#include "main_window/guardedpage.h"

LoginWindow::LoginWindow(QWebEngineProfile *profile, std::function<bool(const QUrl &)> allows,
                         QWidget *parent)
    : QWebEngineView(parent)
{
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("LoginWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setPage(new GuardedPage(profile, std::move(allows), this));
    connect(this, &QWebEngineView::titleChanged, this, &QWidget::setWindowTitle);
    resize(800, 600);
}
