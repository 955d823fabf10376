#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
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
// centre of `widget` (when given), then, once its window has the keyboard,
// the text typed into whatever has the focus.
inline bool clickAndType(const QWidget *widget, const QString &text)
{
    const auto xdotool = [](const QStringList &args) {
        return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
    };
    if (widget) {
        const QPoint centre = widget->mapToGlobal(widget->rect().center());
        if (!xdotool({ "mousemove", QString::number(centre.x()), QString::number(centre.y()),
                       "sleep", "0.1", "click", "1" })
            || !QTest::qWaitFor([widget] { return widget->window()->isActiveWindow(); }))
            return false;
        QTest::qWait(200); // the page hears of its focus after the window
    }
    return text.isEmpty() || xdotool({ "type", "--delay", "80", text });
}

// Whether the window manager shows `atom` in the window's _NET_WM_STATE.
inline bool netWmStateHas(const QWidget &window, const char *atom)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                { "-id", QString::number(window.winId()), "_NET_WM_STATE" });
    if (!xprop.waitForFinished(5000))
        qWarning("xprop did not answer");
    return QRegularExpression(QStringLiteral("[ ,]%1(,|$)").arg(QLatin1String(atom)))
            .match(QString::fromLatin1(xprop.readAll().trimmed()))
            .hasMatch();
}
