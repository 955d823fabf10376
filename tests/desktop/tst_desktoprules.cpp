#include "desktop/autostartentry.h"
#include "desktop/badgedicon.h"
#include "desktop/chatactivity.h"
#include "desktop/chatattention.h"
#include "desktop/screenfit.h"
#include "support/datatable.h"

#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

// The texts that start the program at login, what a tray click means, and
// what a hidden chat's activity shows on the tray.
class TestDesktopRules : public QObject {
    Q_OBJECT
private slots:
    // The entry that starts the program at login, and the Windows Run value,
    // for a program in `dir`. In the entry, inside quotes ", `, $ and \ take a
    // backslash, and every backslash of the value is doubled once more; % is
    // doubled, as a field code would start. The Run value is quoted only when
    // the path holds a blank.
    void startAtLogin_data()
    {
        const auto row = dataTable<QString, QString, QString>("dir", "exec", "run");
        row("plain", "/opt/talvorin", "Exec=/opt/talvorin/TalvorinTool", "/opt/talvorin\\TalvorinTool.exe");
        row("blank", "/home/ana/My Programs", "Exec=\"/home/ana/My Programs/TalvorinTool\"",
            "\"/home/ana/My Programs\\TalvorinTool.exe\"");
        row("specials", "/opt/a$b\"c`d\\e/100%", "Exec=\"/opt/a\\\\$b\\\\\"c\\\\`d\\\\\\\\e/100%%/TalvorinTool\"",
            "/opt/a$b\"c`d\\e/100%\\TalvorinTool.exe");
    }
    void startAtLogin()
    {
        QFETCH(QString, dir);
        const QStringList lines = QString::fromUtf8(autostartDesktopEntry(dir + "/TalvorinTool")).split(u'\n');
        QCOMPARE(lines.mid(0, 3),
                 (QStringList { "[Desktop Entry]", "Type=Application", "Name=TalvorinTool" }));
        QTEST(lines.filter("Exec=").join(u'\n'), "exec");
        QTEST(runValueData(dir), "run");
    }

    // Each row: a chat page loaded as "Chat" with the owner away, then titles
    // and "@note" (web notification), "@active" (the owner looks), "@away",
    // "@reload", "@loaded"; the unread count and the titles that were new
    // messages to an owner away.
    void unreadCount_data()
    {
        const auto row = dataTable<QStringList, int, QStringList>("events", "unread", "messages");
        row("a note, then a blink", { "@note", "A", "Chat", "A", "Chat" }, 2, { "A" });
        row("counted blink", { "(2) A", "Chat", "(2) A", "(1) A" }, 1, { "(2) A" });
        row("page counts notes", { "(2) Chat", "@note" }, 2, { "(2) Chat" });
        row("looking", { "@active", "A", "@note", "(4) Chat" }, 0, {});
        row("looking clears", { "A", "@note", "@active", "@away", "B" }, 1, { "A", "B" });
        row("seen message blinks on", { "@active", "A", "@away", "Chat", "A" }, 0, {});
        row("fresh page's own title", { "@reload", "127.0.0.1/chat", "Chat room", "@loaded", "Chat" }, 1, { "Chat" });
    }
    void unreadCount()
    {
        QFETCH(QStringList, events);
        ChatActivity activity;
        QStringList messages;
        bool looking = false;
        for (const QString &event : QStringList { "@reload", "Chat", "@loaded" } + events) {
            if (event == "@note")
                activity.notificationArrived(looking);
            else if (event == "@reload")
                activity.pageLoading();
            else if (event == "@loaded")
                activity.pageLoaded();
            else if (event == "@away" || event == "@active")
                looking = event == "@active";
            else if (activity.titleChanged(event, looking) == ChatActivity::Title::NewMessage && !looking)
                messages << event;
            if (event == "@active")
                activity.ownerLooked();
        }
        QTEST(activity.unreadCount(), "unread");
        QTEST(messages, "messages");
    }

    // A hidden chat's new titles beside the tray icon, one per gap, the latest
    // held one when the gap ends; web notifications go through at once.
    void trayMessagesArePaced()
    {
        QWidget window;
        ChatAttention attention(&window, 1000);
        QSignalSpy messages(&attention, &ChatAttention::trayMessage);
        attention.pageLoaded();
        for (const char *title : { "A", "B", "C" })
            attention.titleChanged(QLatin1String(title));
        attention.notificationArrived("Visitor", "D");
        QCOMPARE(messages.size(), 2);
        QTRY_COMPARE(messages.size(), 3);
        QCOMPARE(messages.at(2).at(1).toString(), "C");
    }

    // At 22 pixels, the size of most panels: "9+" above nine, in its corner;
    // the site's four looks, each its own, the warning amber in the lower
    // corner that the count leaves free, and the count on it as on the others.
    void iconShowsTheCountAndTheSite()
    {
        const QIcon own(":/icons/talvorin-32.png");
        const auto icon = [&](int unread, StatusLook look = StatusLook::Own) {
            return badgedIcon(own, unread, look).pixmap(22).toImage();
        };
        QCOMPARE(icon(0), own.pixmap(22).toImage());
        QVERIFY(icon(1) != icon(0) && icon(1) != icon(2) && icon(9) != icon(10));
        QCOMPARE(icon(10), icon(99));
        const QRect lower(0, 13, 22, 9), upper(0, 0, 22, 9);
        QCOMPARE(icon(10).copy(lower), icon(0).copy(lower));

        const QList<QImage> looks { icon(0), icon(0, StatusLook::Greyed),
                                    icon(0, StatusLook::Dimmed), icon(0, StatusLook::Warning) };
        for (int i = 0; i < 4; ++i)
            QVERIFY(looks.indexOf(looks[i]) == i);
        const QRgb mark = looks[3].pixel(12, 19);
        QVERIFY2(qRed(mark) > 200 && qBlue(mark) < 80, qPrintable(QString::number(mark, 16)));
        QCOMPARE(looks[3].copy(upper), icon(0).copy(upper));
        QCOMPARE(icon(3, StatusLook::Warning).copy(upper), icon(3).copy(upper));
        QCOMPARE(icon(3, StatusLook::Warning).copy(lower), looks[3].copy(lower));
    }

    // A frame larger than the screen's free area shrinks to it; one partly off
    // it moves inside.
    void keptOnScreen_data()
    {
        const auto row = dataTable<QRect, QRect, QRect>("frame", "area", "fitted");
        const QRect area(0, 24, 1280, 1000); // below a panel
        row("inside", { 100, 100, 400, 500 }, area, { 100, 100, 400, 500 });
        row("left and bottom off", { -50, 800, 400, 500 }, area, { 0, 524, 400, 500 });
        row("larger both ways", { -9, -9, 9000, 9000 }, area, area);
        row("no screen", { 5, 5, 10, 10 }, {}, { 5, 5, 10, 10 });
    }
    void keptOnScreen()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, area);
        QTEST(fittedInto(frame, area), "fitted");
    }
};

QTEST_MAIN(TestDesktopRules)
#include "tst_desktoprules.moc"
