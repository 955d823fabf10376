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

// Real input through the X server, as the user gives it: a click at the
// centre of `widget` (when given); once its window has the keyboard, the
// first character of `text` until the page says it `heard` it (a page gets
// its keys a moment after its window), then the rest, each once.
inline bool clickAndType(const QWidget *widget, const QString &text,
                         const std::function<bool()> &heard = [] { return true; })
{
    if (widget) {
        const QPoint at = widget->mapToGlobal(widget->rect().center());
        const QStringList move { "mousemove", QString::number(at.x()), QString::number(at.y()) };
        if (QProcess::execute("xdotool", move + QStringList { "sleep", "0.1", "click", "1" }) != 0
            || !QTest::qWaitFor([widget] { return widget->window()->isActiveWindow(); }))
            return false;
    }
    const auto type = [](const QString &keys) {
        return keys.isEmpty() || QProcess::execute("xdotool", { "type", "--delay", "80", keys }) == 0;
    };
    return text.isEmpty()
            || (QTest::qWaitFor([&] { return type(text.left(1)) && QTest::qWaitFor(heard, 500); }, 15000)
                && type(text.mid(1)));
}

// Whether the window manager shows `atom` in the window's _NET_WM_STATE.
inline bool netWmStateHas(const QWidget &window, const char *atom)
{
    QProcess xprop;
    xprop.start("xprop", { "-id", QString::number(window.winId()), "_NET_WM_STATE" });
    if (!xprop.waitForFinished(5000))
        qWarning("xprop did not answer");
    // "_NET_WM_STATE(ATOM) = _NET_WM_STATE_ABOVE, _NET_WM_STATE_SKIP_TASKBAR"
    const QString state = QString::fromLatin1(xprop.readAll());
    return state.split(QRegularExpression("[\\s,=]+")).contains(QLatin1String(atom));
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
