#include "desktop/badgedicon.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

// The sizes notification areas draw at: 16 to 24 on most panels, larger on
// high-resolution screens and in tray settings dialogs.
const int kSizes[] = { 16, 20, 22, 24, 32, 48, 64 };

// Grey in place of colour, and lighter, as a disabled item looks.
void greyOut(QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(line[x]);
            const int grey = qGray(line[x]) / 2 + alpha / 4; // premultiplied, so at most alpha
            line[x] = qRgba(grey, grey, grey, alpha);
        }
    }
}

// An amber triangle with an exclamation mark, in the corner the count leaves free.
void drawWarning(QPainter &painter, int size)
{
    const qreal side = size * 0.62;
    const qreal height = side * 0.9;
    const QPointF corner(size, size);
    const QPolygonF triangle { corner - QPointF(side, 0.5), corner - QPointF(0, 0.5),
                               corner - QPointF(side / 2, height) };
    painter.setPen(QPen(QColor(0x4e, 0x34, 0x2e), qMax(1.0, size / 22.0), Qt::SolidLine,
                        Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(0xff, 0xb3, 0x00));
    painter.drawPolygon(triangle);
    const qreal x = size - side / 2;
    const qreal top = size - height;
    painter.setPen(QPen(Qt::black, qMax(1.5, size / 11.0), Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(x, top + height * 0.32), QPointF(x, top + height * 0.66));
    painter.drawPoint(QPointF(x, top + height * 0.82));
}

void drawCount(QPainter &painter, int unread, int size)
{
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
}

QPixmap badged(const QIcon &icon, int unread, StatusLook look, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setOpacity(look == StatusLook::Dimmed ? 0.4 : 1.0);
        icon.paint(&painter, image.rect());
    }
    if (look == StatusLook::Greyed)
        greyOut(image);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (look == StatusLook::Warning)
        drawWarning(painter, size);
    if (unread > 0)
        drawCount(painter, unread, size);
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

QIcon badgedIcon(const QIcon &icon, int unread, StatusLook look)
{
    if (unread <= 0 && look == StatusLook::Own)
        return icon;
    QIcon result;
    for (int size : kSizes)
        result.addPixmap(badged(icon, unread, look, size));
    return result;
}
