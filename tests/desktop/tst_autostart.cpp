#include "desktop/autostart.h"
#include "desktop/autostartentry.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestAutostart : public QObject {
    Q_OBJECT
private slots:
    void execLineIsQuotedAndEscaped_data();
    void execLineIsQuotedAndEscaped();
    void runValueIsQuotedWhenItHoldsABlank_data();
    void runValueIsQuotedWhenItHoldsABlank();
    void entryComesAndGoes();
    void unwritableDirectoryIsReported();

private:
    QTemporaryDir m_config;
};

void TestAutostart::execLineIsQuotedAndEscaped_data()
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

void TestAutostart::execLineIsQuotedAndEscaped()
{
    QFETCH(QString, executable);
    QFETCH(QString, exec);
    const QStringList lines = QString::fromUtf8(autostartDesktopEntry(executable)).split(u'\n');
    QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
    QVERIFY(lines.contains(QStringLiteral("Type=Application")));
    QVERIFY(lines.contains(QStringLiteral("Name=TalvorinTool")));
    QVERIFY2(lines.contains(exec), qPrintable(lines.filter(QStringLiteral("Exec=")).join(u' ')));
}

void TestAutostart::runValueIsQuotedWhenItHoldsABlank_data()
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

void TestAutostart::runValueIsQuotedWhenItHoldsABlank()
{
    QFETCH(QString, dir);
    QFETCH(QString, data);
    QCOMPARE(runValueData(dir), data);
}

void TestAutostart::entryComesAndGoes()
{
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    const QString entry = m_config.filePath(QStringLiteral("autostart/TalvorinTool.desktop"));
    QString error;
    QVERIFY(addToStartup(&error));
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), autostartDesktopEntry(QCoreApplication::applicationFilePath()));
    file.close();

    QVERIFY(removeFromStartup(&error));
    QVERIFY(!QFile::exists(entry));
    // Already gone is as good as removed.
    QVERIFY(removeFromStartup(&error));
}

void TestAutostart::unwritableDirectoryIsReported()
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    // A file where the directory should be: not even root can write there.
    QFile blocker(config.filePath(QStringLiteral("autostart")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    QVERIFY(!addToStartup(&error));
    QVERIFY2(error.contains(QLatin1String("TalvorinTool.desktop")), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
