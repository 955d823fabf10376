#include "desktop/badgedicon.h"
#include "desktop/chatactivity.h"
#include "desktop/chatattention.h"
#include "desktop/traymessagepacer.h"

#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

class TestUnread : public QObject {
    Q_OBJECT
private slots:
    void countsAndPaces_data();
    void countsAndPaces();
    void heldMessageComesAfterTheGap();
    void iconShowsTheCount_data();
    void iconShowsTheCount();
};

// Each row: a chat page loaded as "Chat" with the owner away, then events:
// a title, "@note" (web notification), "@active" (the owner looks), "@away",
// "@reload", "@loaded", "+ms" (time passes). Tray messages go at most one per
// 10 s, as the program paces them.
void TestUnread::countsAndPaces_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("unread");
    QTest::addColumn<QStringList>("messages");
    using L = QStringList;
    QTest::newRow("message") << L { "Visitor: hi" } << 1 << L { "Visitor: hi" };
    QTest::newRow("blink counts once")
            << L { "Visitor: hi", "Chat", "Visitor: hi", "Chat" } << 1 << L { "Visitor: hi" };
    QTest::newRow("count as it stands") << L { "(3) Chat" } << 3 << L { "(3) Chat" };
    QTest::newRow("counted blink") << L { "(2) Chat", "Chat", "(2) Chat", "(1) Chat" } << 1
                                   << L { "(2) Chat" };
    QTest::newRow("page counts notifications") << L { "(2) Chat", "@note" } << 2 << L { "(2) Chat" };
    QTest::newRow("notifications") << L { "@note", "@note" } << 2 << L {};
    QTest::newRow("looking") << L { "@active", "Visitor: hi", "@note", "(4) Chat" } << 0 << L {};
    QTest::newRow("looking clears") << L { "A", "@note", "@active", "@away", "+10000", "B" } << 1
                                    << L { "A", "B" };
    QTest::newRow("seen message blinks on")
            << L { "@active", "Visitor: hi", "@away", "Chat", "Visitor: hi" } << 0 << L {};
    QTest::newRow("reloaded page's own title")
            << L { "@reload", "127.0.0.1/chat", "Chat room", "@loaded", "Chat" } << 1 << L { "Chat" };
    QTest::newRow("gap over") << L { "A", "+10000", "B" } << 2 << L { "A", "B" };
    QTest::newRow("latest held after the gap")
            << L { "A", "+1000", "B", "+1000", "C", "+7999", "+1", "+10000" } << 3
            << L { "A", "C" };
    QTest::newRow("notification starts a gap") << L { "@note", "A", "+9999", "+1" } << 2
                                               << L { "A" };
}

void TestUnread::countsAndPaces()
{
    QFETCH(QStringList, events);
    ChatActivity activity;
    TrayMessagePacer pacer(10000);
    QStringList messages;
    qint64 now = 1000000;
    bool looking = false;
    activity.titleChanged(QStringLiteral("Chat"), looking);
    activity.pageLoaded();
    for (const QString &event : events) {
        if (event == QLatin1String("@note")) {
            activity.notificationArrived(looking);
            pacer.shown(now);
        } else if (event == QLatin1String("@active")) {
            looking = true;
            activity.ownerLooked();
        } else if (event == QLatin1String("@away")) {
            looking = false;
        } else if (event == QLatin1String("@reload")) {
            activity.pageLoading();
        } else if (event == QLatin1String("@loaded")) {
            activity.pageLoaded();
        } else if (event.startsWith(u'+')) {
            now += event.toInt();
            if (pacer.isHolding() && pacer.heldDueIn(now) == 0)
                messages << pacer.takeHeld(now);
        } else if (activity.titleChanged(event, looking) == ChatActivity::Title::NewMessage
                   && !looking && pacer.offer(event, now)) {
            messages << event;
        }
    }
    QTEST(activity.unreadCount(), "unread");
    QTEST(messages, "messages");
}

// The real timer: the held message shows once the gap is over, the owner's
// look clears the count.
void TestUnread::heldMessageComesAfterTheGap()
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("frmMain"));
    ChatAttention attention(&window, 50);
    QSignalSpy messages(&attention, &ChatAttention::trayMessage);
    QSignalSpy unread(&attention, &ChatAttention::unreadChanged);
    attention.pageLoaded();
    for (const char *title : { "A", "B", "C" })
        attention.titleChanged(QLatin1String(title));
    QTRY_COMPARE(messages.size(), 2);
    QCOMPARE(messages.at(1), (QVariantList { "frmMain", "C" }));
    QCOMPARE(unread.last().first().toInt(), 3);

    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_COMPARE(unread.last().first().toInt(), 0);
}

void TestUnread::iconShowsTheCount_data()
{
    QTest::addColumn<int>("unread");
    QTest::addColumn<int>("other");
    QTest::addColumn<bool>("looksTheSame");
    QTest::newRow("one against none") << 1 << 0 << false;
    QTest::newRow("the digit") << 1 << 2 << false;
    QTest::newRow("nine against more") << 9 << 10 << false;
    QTest::newRow("above nine") << 10 << 99 << true;
}

// At 22 pixels, the size of most panels.
void TestUnread::iconShowsTheCount()
{
    QFETCH(int, unread);
    QFETCH(int, other);
    const QIcon own(QStringLiteral(":/icons/talvorin-32.png"));
    const auto image = [&](int count) { return badgedIcon(own, count).pixmap(22).toImage(); };
    QTEST(image(unread) == image(other), "looksTheSame");
    // The badge keeps to its corner: the icon's lower part stays as it was.
    const QRect lower(0, 13, 22, 9);
    QCOMPARE(image(unread).copy(lower), image(0).copy(lower));
}

QTEST_MAIN(TestUnread)
#include "tst_unread.moc"
