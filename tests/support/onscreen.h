#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QWidget>

// The colour a user sees at the centre of a widget: taken from the screen,
// not from the widget's own rendering, so a page that is loaded but never
// painted shows as what is really there.
inline QColor colourOnScreenAt(const QWidget *widget)
{
    const QWidget *window = widget->window();
    const QImage shot = window->screen()->grabWindow(window->winId()).toImage();
    const QPoint centre = widget->mapTo(window, widget->rect().center());
    const qreal ratio = shot.devicePixelRatio();
    return shot.pixelColor(qRound(centre.x() * ratio), qRound(centre.y() * ratio));
}

inline bool looksLike(const QColor &seen, const QColor &wanted)
{
    return qAbs(seen.red() - wanted.red()) < 8 && qAbs(seen.green() - wanted.green()) < 8
            && qAbs(seen.blue() - wanted.blue()) < 8;
}

// Real input through the X server, as the user gives it: a click at the
// centre of `widget` (when given), then the text typed into whatever has the
// keyboard.
inline bool clickAndType(const QWidget *widget, const QString &text)
{
    QStringList args;
    if (widget) {
        const QPoint centre = widget->mapToGlobal(widget->rect().center());
        // No --sync: it waits for a move that never comes when the pointer
        // is there already.
        args << QStringLiteral("mousemove") << QString::number(centre.x())
             << QString::number(centre.y()) << QStringLiteral("sleep") << QStringLiteral("0.1")
             << QStringLiteral("click") << QStringLiteral("1") << QStringLiteral("sleep")
             << QStringLiteral("0.3");
    }
    args << QStringLiteral("type") << QStringLiteral("--delay") << QStringLiteral("80") << text;
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}
