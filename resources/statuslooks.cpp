// Draws the tray icon's four looks for the README: each at 22 pixels, as a
// panel shows it, and four times that size below it.
// Usage: status_looks OUTPUT.png (run with QT_QPA_PLATFORM=offscreen).
#include "desktop/badgedicon.h"

#include <QGuiApplication>
#include <QPainter>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QIcon own(QStringLiteral(":/icons/talvorin-32.png"));
    const std::pair<StatusLook, const char *> looks[] = { { StatusLook::Own, "online" },
                                                          { StatusLook::Greyed, "offline" },
                                                          { StatusLook::Dimmed, "away" },
                                                          { StatusLook::Warning, "not reached" } };
    const int cell = 110;
    QImage sheet(cell * 4, 150, QImage::Format_ARGB32);
    sheet.fill(QColor(0xe4, 0xe4, 0xe4));
    QPainter painter(&sheet);
    for (int i = 0; i < 4; ++i) {
        const QImage icon = badgedIcon(own, 0, looks[i].first).pixmap(22).toImage();
        painter.drawImage(i * cell + (cell - 22) / 2, 6, icon);
        painter.drawImage(QRect(i * cell + (cell - 88) / 2, 34, 88, 88), icon);
        painter.drawText(QRect(i * cell, 126, cell, 20), Qt::AlignCenter,
                         QString::fromLatin1(looks[i].second));
    }
    painter.end();
    return sheet.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
