#include "desktop/singleinstance.h"

#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void secondCopyAsksTheFirstToShow();
    void lockOfAKilledCopyDoesNotBlock();
};

void TestSingleInstance::secondCopyAsksTheFirstToShow()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("talvorin.ini"));
    auto first = SingleInstance::claim(ini);
    QVERIFY(first);
    QSignalSpy activations(first.get(), &SingleInstance::activationRequested);
    QVERIFY(!SingleInstance::claim(ini));
    QTRY_COMPARE(activations.count(), 1);

    // A copy for another settings file runs beside it; once the first copy
    // has gone, the next one for its file runs.
    QTemporaryDir other;
    QVERIFY(SingleInstance::claim(other.filePath(QStringLiteral("talvorin.ini"))));
    first.reset();
    QVERIFY(SingleInstance::claim(ini));
}

void TestSingleInstance::lockOfAKilledCopyDoesNotBlock()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("talvorin.ini"));
    // A copy that holds the lock and is then killed before it can let go.
    QProcess holder;
    holder.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--hold-lock"), ini });
    QVERIFY(holder.waitForReadyRead(10000)); // it says when it holds the lock
    QVERIFY(!SingleInstance::claim(ini));
    holder.kill();
    QVERIFY(holder.waitForFinished());
    QVERIFY(SingleInstance::claim(ini));
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--hold-lock") == 0) {
        auto lock = SingleInstance::claim(QString::fromLocal8Bit(argv[2]));
        fputs(lock ? "holding\n" : "not holding\n", stdout);
        fflush(stdout);
        return app.exec(); // until killed
    }
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_singleinstance.moc"
