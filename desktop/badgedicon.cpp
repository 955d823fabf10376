#include "desktop/badgedicon.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

// The sizes notification areas draw at: 16 to 24 on most panels, larger on
// high-resolution screens and in tray settings dialogs.
const int kSizes[] = { 16, 20, 22, 24, 32, 48, 64 };

QPixmap badged(const QIcon &icon, int unread, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    icon.paint(&painter, image.rect());
    painter.setRenderHint(QPainter::Antialiasing);

    const QString text = badgeText(unread);
    QFont font;
    font.setBold(true);
    font.setPixelSize(qMax(8, size * 10 / 22));
    const QFontMetrics metrics(font);
    const int height = qMin(size, metrics.capHeight() + qMax(4, size / 5));
    const int width = qMin(size, qMax(height, metrics.horizontalAdvance(text) + height / 2));
    const QRectF badge(size - width, 0, width, height);
    // A light rim parts the badge from any icon behind it.
    const qreal rim = qMax(1.0, size / 22.0);
    painter.setPen(QPen(QColor(255, 255, 255, 230), rim));
    painter.setBrush(QColor(0xd3, 0x2f, 0x2f));
    painter.drawRoundedRect(badge.adjusted(rim / 2, rim / 2, -rim / 2, -rim / 2), height / 2.0,
                            height / 2.0);
    painter.setPen(Qt::white);
    painter.setFont(font);
    painter.drawText(badge, Qt::AlignCenter, text);
    painter.end();
    return QPixmap::fromImage(image);
}

} // namespace

QString badgeText(int unread)
{
    if (unread <= 0)
        return {};
    return unread > 9 ? QStringLiteral("9+") : QString::number(unread);
}

QIcon badgedIcon(const QIcon &icon, int unread)
{
    if (unread <= 0)
        return icon;
    QIcon result;
    for (int size : kSizes)
        result.addPixmap(badged(icon, unread, size));
    return result;
}
