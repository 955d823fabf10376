#include "support/testhttpserver.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// The built program as a user gets it: a copy in a directory of its own with
// its talvorin.ini beside it, started, and ended as a logout ends it.
class TestBlackBox : public QObject
{
    Q_OBJECT
private slots:
    void startAndLogout();
};

void TestBlackBox::startAndLogout()
{
    TestHttpServer server;
    QVERIFY(server.start());
    server.setPage("/status.php?online", "online");
    server.setPage("/status.php?offline", "offline");
    server.setPage("/badge", "<html><body>badge</body></html>");

    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("TalvorinTool"));
    QVERIFY(QFile::copy(QStringLiteral(TALVORIN_EXECUTABLE), exe));
    const QString ini = dir.filePath(QStringLiteral("talvorin.ini"));
    const QByteArray links = "[badgelink]=" + server.url("/badge").toLatin1() + "\r\n[linkstart]="
            + server.url("/status.php?online").toLatin1() + "\r\n[linkclose]="
            + server.url("/status.php?offline").toLatin1() + "\r\n";
    {
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(links + "[startwin]=True\r\n");
    }

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("home/.config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("home/.local/share")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("home/.cache")));
    if (!env.contains(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX")))
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(exe, {});
    QVERIFY(program.waitForStarted());

    QTRY_COMPARE_WITH_TIMEOUT(server.count("/badge"), 1, 30000);
    QCOMPARE(server.count("/status.php?online"), 1);
    QCOMPARE(server.count("/status.php?offline"), 0);

    program.terminate(); // SIGTERM, as a logout sends it
    // The server lives in this process: wait with its events running.
    QTRY_COMPARE_WITH_TIMEOUT(program.state(), QProcess::NotRunning, 15000);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QList<QByteArray> statusRequests = server.requests();
    statusRequests.removeIf([](const QByteArray &path) { return !path.startsWith("/status"); });
    QCOMPARE(statusRequests,
             (QList<QByteArray> {"/status.php?online", "/status.php?offline"}));

    QFile file(ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QVERIFY2(written.startsWith(links + "[ontop]=False\r\n[taskbar]=False\r\n[startwin]=True\r\n"),
             written.constData());
    const QRegularExpression size(QStringLiteral("\\[height\\]=\\d+\r\n\\[width\\]=\\d+\r\n$"));
    QVERIFY2(size.match(QString::fromLatin1(written)).hasMatch(), written.constData());
}

QTEST_GUILESS_MAIN(TestBlackBox)
#include "tst_blackbox.moc"
