#include "main_window/loginwindow.h"

#include <QWebEnginePage>

LoginWindow::LoginWindow(QWebEngineProfile *profile)
{
    setObjectName(QStringLiteral("LoginWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setPage(new QWebEnginePage(profile, this));
    connect(this, &QWebEngineView::titleChanged, this, &QWidget::setWindowTitle);
    resize(800, 600);
}
