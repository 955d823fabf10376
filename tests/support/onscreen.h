#pragma once

#include <QApplication>
#include <QColor>
#include <QDeadlineTimer>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <functional>

// The background of support/pages/chat.html.
const QColor kChat(0x2a, 0x7a, 0xb0);

// Whether the centre of `widget` shows `colour` within `timeoutMs`, as the
// user sees it: taken from the screen, not from the widget's own rendering,
// so a page that is loaded but never painted shows as what is really there.
inline bool showsColour(const QWidget *widget, const QColor &colour, int timeoutMs = 15000)
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        const QWidget *window = widget->window();
        const QImage shot = window->screen()->grabWindow(window->winId()).toImage();
        const QPoint centre = widget->mapTo(window, widget->rect().center());
        const QColor seen = shot.pixelColor(centre * shot.devicePixelRatio());
        if (qAbs(seen.red() - colour.red()) < 8 && qAbs(seen.green() - colour.green()) < 8
            && qAbs(seen.blue() - colour.blue()) < 8)
            return true;
        QTest::qWait(50); // a grab costs the page's painting time
    } while (!deadline.hasExpired());
    return false;
}

// xdotool's commands, blank-separated ("key alt+a"), through the X server
// as the user's input; true when xdotool did them all.
inline bool xdotool(const QString &commands)
{
    return QProcess::execute("xdotool", commands.split(u' ', Qt::SkipEmptyParts)) == 0;
}

// The mouse to `at` on the screen, then the rest of the commands.
inline bool xdotool(const QPoint &at, const QString &then)
{
    return xdotool(QString("mousemove %1 %2 sleep 0.2 %3").arg(at.x()).arg(at.y()).arg(then));
}

// Real input through the X server, as the user gives it: a click at the
// centre of `widget` (when given); once its window has the keyboard, the
// first character of `text` until the page says it `heard` it (a page gets
// its keys a moment after its window), then the rest, each once.
inline bool clickAndType(const QWidget *widget, const QString &text,
                         const std::function<bool()> &heard = [] { return true; })
{
    if (widget) {
        if (!xdotool(widget->mapToGlobal(widget->rect().center()), "click 1")
            || !QTest::qWaitFor([widget] { return widget->window()->isActiveWindow(); }))
            return false;
    }
    const auto type = [](const QString &keys) {
        return keys.isEmpty() || QProcess::execute("xdotool", { "type", "--delay", "80", keys }) == 0; // keys may hold blanks
    };
    return text.isEmpty()
            || (QTest::qWaitFor([&] { return type(text.left(1)) && QTest::qWaitFor(heard, 500); }, 15000)
                && type(text.mid(1)));
}

// One property of the window as the X server holds it, as xprop prints it.
inline QString xprop(const QWidget &window, const char *property)
{
    QProcess xprop;
    xprop.start("xprop", { "-id", QString::number(window.winId()), property });
    if (!xprop.waitForFinished(5000))
        qWarning("xprop did not answer");
    return QString::fromLatin1(xprop.readAll());
}

// Whether the window manager shows `atom` in the window's _NET_WM_STATE:
// "_NET_WM_STATE(ATOM) = _NET_WM_STATE_ABOVE, _NET_WM_STATE_SKIP_TASKBAR".
inline bool netWmStateHas(const QWidget &window, const char *atom)
{
    return xprop(window, "_NET_WM_STATE").split(QRegularExpression("[\\s,=]+")).contains(QLatin1String(atom));
}

// The shown widget of one of Qt's own tray classes; none when none is.
inline QWidget *shownWidgetOf(const char *className)
{
    for (QWidget *widget : QApplication::allWidgets()) {
        if (widget->inherits(className) && widget->isVisible())
            return widget;
    }
    return nullptr;
}

// The message shown next to the tray icon as "title|text"; empty when none is.
inline QString balloonText()
{
    QWidget *balloon = shownWidgetOf("QBalloonTip");
    QStringList texts;
    for (QLabel *label : balloon ? balloon->findChildren<QLabel *>() : QList<QLabel *>())
        if (!label->text().isEmpty())
            texts << label->text();
    return texts.join(u'|');
}
