#include "desktop/autostartentry.h"
#include "desktop/trayactions.h"

#include <QtTest>

class TestDesktopRules : public QObject {
    Q_OBJECT
private slots:
    void execLineIsQuotedAndEscaped_data();
    void execLineIsQuotedAndEscaped();
    void runValueIsQuotedWhenItHoldsABlank_data();
    void runValueIsQuotedWhenItHoldsABlank();
    void trayClicks_data();
    void trayClicks();
};

void TestDesktopRules::execLineIsQuotedAndEscaped_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/opt/talvorin/TalvorinTool"
                           << "Exec=/opt/talvorin/TalvorinTool";
    QTest::newRow("blank") << "/home/ana/My Programs/TalvorinTool"
                           << "Exec=\"/home/ana/My Programs/TalvorinTool\"";
    // Inside quotes ", `, $ and \ take a backslash, and every backslash of
    // the value is doubled once more; % is doubled, as a field code would start.
    QTest::newRow("specials") << "/opt/a$b\"c`d\\e/100%/TalvorinTool"
                              << "Exec=\"/opt/a\\\\$b\\\\\"c\\\\`d\\\\\\\\e/100%%/TalvorinTool\"";
}

void TestDesktopRules::execLineIsQuotedAndEscaped()
{
    QFETCH(QString, executable);
    QFETCH(QString, exec);
    const QStringList lines = QString::fromUtf8(autostartDesktopEntry(executable)).split(u'\n');
    QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
    QVERIFY(lines.contains(QStringLiteral("Type=Application")));
    QVERIFY(lines.contains(QStringLiteral("Name=TalvorinTool")));
    QVERIFY2(lines.contains(exec), qPrintable(lines.filter(QStringLiteral("Exec=")).join(u' ')));
}

void TestDesktopRules::runValueIsQuotedWhenItHoldsABlank_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("data");
    QTest::newRow("no blank") << "C:\\Tools\\Talvorin"
                              << "C:\\Tools\\Talvorin\\TalvorinTool.exe";
    QTest::newRow("blank") << "C:\\Program Files\\Talvorin"
                           << "\"C:\\Program Files\\Talvorin\\TalvorinTool.exe\"";
    QTest::newRow("drive root") << "C:\\"
                                << "C:\\\\TalvorinTool.exe";
}

void TestDesktopRules::runValueIsQuotedWhenItHoldsABlank()
{
    QFETCH(QString, dir);
    QFETCH(QString, data);
    QCOMPARE(runValueData(dir), data);
}

void TestDesktopRules::trayClicks_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("action");
    QTest::newRow("left press") << int(QSystemTrayIcon::Trigger) << int(TrayAction::Restore);
    QTest::newRow("double-click") << int(QSystemTrayIcon::DoubleClick)
                                  << int(TrayAction::DoubleClickMessage);
    QTest::newRow("right button") << int(QSystemTrayIcon::Context) << int(TrayAction::None);
    QTest::newRow("middle button") << int(QSystemTrayIcon::MiddleClick) << int(TrayAction::None);
}

void TestDesktopRules::trayClicks()
{
    QFETCH(int, reason);
    QFETCH(int, action);
    QCOMPARE(int(trayActionFor(QSystemTrayIcon::ActivationReason(reason))), action);
}

QTEST_GUILESS_MAIN(TestDesktopRules)
#include "tst_desktoprules.moc"
