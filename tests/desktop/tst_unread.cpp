#include "desktop/badgedicon.h"
#include "desktop/chatactivity.h"
#include "desktop/chatattention.h"

#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

class TestUnread : public QObject {
    Q_OBJECT
private slots:
    void counting_data();
    void counting();
    void trayMessagesArePaced();
    void iconShowsTheCount();
};

// Each row: a chat page loaded as "Chat" with the owner away, then titles and
// "@note" (web notification), "@active" (the owner looks), "@away", "@reload",
// "@loaded"; the unread count and the titles that were new messages to an
// owner away.
void TestUnread::counting_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("unread");
    QTest::addColumn<QStringList>("messages");
    using L = QStringList;
    QTest::newRow("blink counts once") << L { "A", "Chat", "A", "Chat" } << 1 << L { "A" };
    QTest::newRow("counted blink") << L { "(2) A", "Chat", "(2) A", "(1) A" } << 1 << L { "(2) A" };
    QTest::newRow("page counts notes") << L { "(2) Chat", "@note" } << 2 << L { "(2) Chat" };
    QTest::newRow("notifications") << L { "@note", "@note" } << 2 << L {};
    QTest::newRow("looking") << L { "@active", "A", "@note", "(4) Chat" } << 0 << L {};
    QTest::newRow("looking clears")
            << L { "A", "@note", "@active", "@away", "B" } << 1 << L { "A", "B" };
    QTest::newRow("seen message blinks on")
            << L { "@active", "A", "@away", "Chat", "A" } << 0 << L {};
    QTest::newRow("fresh page's own title")
            << L { "@reload", "127.0.0.1/chat", "Chat room", "@loaded", "Chat" } << 1
            << L { "Chat" };
}

void TestUnread::counting()
{
    QFETCH(QStringList, events);
    ChatActivity activity;
    QStringList messages;
    bool looking = false;
    for (const QString &event : QStringList { "@reload", "Chat", "@loaded" } + events) {
        if (event == QLatin1String("@note"))
            activity.notificationArrived(looking);
        else if (event == QLatin1String("@reload"))
            activity.pageLoading();
        else if (event == QLatin1String("@loaded"))
            activity.pageLoaded();
        else if (event == QLatin1String("@away"))
            looking = false;
        else if (event == QLatin1String("@active")) {
            looking = true;
            activity.ownerLooked();
        } else if (activity.titleChanged(event, looking) == ChatActivity::Title::NewMessage
                   && !looking)
            messages << event;
    }
    QTEST(activity.unreadCount(), "unread");
    QTEST(messages, "messages");
}

// A hidden chat's new titles beside the tray icon, one per gap, the latest
// held one when the gap ends; web notifications go through at once.
void TestUnread::trayMessagesArePaced()
{
    QWidget window;
    ChatAttention attention(&window, 1000);
    QSignalSpy messages(&attention, &ChatAttention::trayMessage);
    attention.pageLoaded();
    for (const char *title : { "A", "B", "C" })
        attention.titleChanged(QLatin1String(title));
    attention.notificationArrived(QStringLiteral("Visitor"), QStringLiteral("D"));
    QCOMPARE(messages.size(), 2);
    QTRY_COMPARE(messages.size(), 3);
    QCOMPARE(messages.at(2).at(1).toString(), QStringLiteral("C"));
}

// At 22 pixels, the size of most panels.
void TestUnread::iconShowsTheCount()
{
    const QIcon own(QStringLiteral(":/icons/talvorin-32.png"));
    const auto icon = [&](int unread) {
        return badgedIcon(own, unread).pixmap(22).toImage();
    };
    QCOMPARE(icon(0), own.pixmap(22).toImage());
    QVERIFY(icon(1) != icon(0));
    QVERIFY(icon(1) != icon(2));
    QVERIFY(icon(9) != icon(10));
    QCOMPARE(icon(10), icon(99));
    const QRect lower(0, 13, 22, 9); // the badge keeps to its corner
    QCOMPARE(icon(10).copy(lower), icon(0).copy(lower));
}

QTEST_MAIN(TestUnread)
#include "tst_unread.moc"
