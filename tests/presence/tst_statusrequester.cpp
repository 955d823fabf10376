#include "presence/statusrequester.h"
#include "support/testhttpserver.h"

#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QtTest>

class TestStatusRequester : public QObject {
    Q_OBJECT
private slots:
    void init();
    void everyOpenIsOneCompletion_data();
    void everyOpenIsOneCompletion();

private:
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<QNetworkAccessManager> m_network;
};

void TestStatusRequester::init()
{
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->start());
    m_server->setPage("/status.php?on=1", "ok");
    m_server->setRedirect("/moved", "/status.php?on=1");
    m_server->setPage("/broken", "oops", 500);
    m_network = std::make_unique<QNetworkAccessManager>();
}

void TestStatusRequester::everyOpenIsOneCompletion_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<StatusRequester::Outcome>("outcome");
    QTest::addColumn<QList<QByteArray>>("seen");

    using O = StatusRequester::Outcome;
    // Any status from the site means it was reached; only a failure on the
    // way is worth another attempt.
    QTest::newRow("answered") << "/status.php?on=1" << O::Answered
                              << QList<QByteArray> { "/status.php?on=1" };
    QTest::newRow("redirect followed")
            << "/moved" << O::Answered << QList<QByteArray> { "/moved", "/status.php?on=1" };
    QTest::newRow("404") << "/missing" << O::Answered << QList<QByteArray> { "/missing" };
    QTest::newRow("500") << "/broken" << O::Answered << QList<QByteArray> { "/broken" };
    QTest::newRow("empty") << "" << O::Failed << QList<QByteArray> {};
    QTest::newRow("blanks only") << "   " << O::Failed << QList<QByteArray> {};
    QTest::newRow("refused") << "refused" << O::Unreachable << QList<QByteArray> {};
    // Taken as a browser's address bar takes them.
    QTest::newRow("no scheme") << "noscheme" << O::Answered
                               << QList<QByteArray> { "/status.php?on=1" };
    QTest::newRow("file") << "file" << O::Answered << QList<QByteArray> {};
}

void TestStatusRequester::everyOpenIsOneCompletion()
{
    QFETCH(QString, link);
    QFETCH(StatusRequester::Outcome, outcome);
    QFETCH(QList<QByteArray>, seen);

    QTemporaryDir dir;
    QFile page(dir.filePath(QStringLiteral("online.html")));
    if (link.startsWith(QLatin1Char('/')))
        link = m_server->url(link.toLatin1());
    else if (link == QLatin1String("refused"))
        link = TestHttpServer::refusedUrl();
    else if (link == QLatin1String("noscheme"))
        link = m_server->url("/status.php?on=1").mid(int(strlen("http://")));
    else if (link == QLatin1String("file") && page.open(QIODevice::WriteOnly) && page.write("on"))
        link = QUrl::fromLocalFile(page.fileName()).toString();

    StatusRequester requester(m_network.get(), QStringLiteral("webStart"), nullptr);
    QSignalSpy completed(&requester, &StatusRequester::completed);
    requester.open(link);
    // Never from inside open(): the caller may not be ready for it yet.
    QCOMPARE(completed.count(), 0);
    QVERIFY(completed.wait(10000));
    QTest::qWait(100);
    QCOMPARE(completed.count(), 1);
    QCOMPARE(completed.first().at(1).value<StatusRequester::Outcome>(), outcome);
    QCOMPARE(m_server->requests(), seen);
}

QTEST_GUILESS_MAIN(TestStatusRequester)
#include "tst_statusrequester.moc"
