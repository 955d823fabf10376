#include "main_window/loginwindow.h"

#include "main_window/permissions.h"

#include <QWebEnginePage>

LoginWindow::LoginWindow(QWebEngineProfile *profile)
{
    setObjectName(QStringLiteral("LoginWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *page = new QWebEnginePage(profile, this);
    answerPermissionRequests(page);
    setPage(page);
    connect(this, &QWebEngineView::titleChanged, this, &QWidget::setWindowTitle);
    resize(800, 600);
}
