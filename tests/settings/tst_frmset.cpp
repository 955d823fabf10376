#include "main_window/frmmain.h"
#include "settings/frmset.h"
#include "support/messageboxes.h"
#include "support/testhttpserver.h"
#include "support/testmain.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

class TestFrmSet : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void emptyBadgeLinkIsRefused_data();
    void emptyBadgeLinkIsRefused();
    void linksAreStoredAsTypedWithoutLineBreaks();
    void enterStartsANewLine();
    void closingStoresNothing();
    void changeSavesAndReloadsTheBadge();

private:
    void open(const QString &badge, const QString &start, const QString &close);
    QPlainTextEdit *box(const char *name) const
    {
        return m_dialog->findChild<QPlainTextEdit *>(QLatin1String(name));
    }
    void clickChange()
    {
        QTest::mouseClick(m_dialog->findChild<QPushButton *>(QStringLiteral("cmdSave")),
                          Qt::LeftButton);
    }

    std::unique_ptr<frmSet> m_dialog;
    std::unique_ptr<QSignalSpy> m_changed;
};

void TestFrmSet::init()
{
    open(QStringLiteral("http://badge/old"), QStringLiteral("http://site/on"),
         QStringLiteral("http://site/off"));
}

void TestFrmSet::cleanup()
{
    m_changed.reset();
    m_dialog.reset();
}

void TestFrmSet::open(const QString &badge, const QString &start, const QString &close)
{
    m_dialog = std::make_unique<frmSet>(badge, start, close);
    m_changed = std::make_unique<QSignalSpy>(m_dialog.get(), &frmSet::linksChanged);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
}

void TestFrmSet::emptyBadgeLinkIsRefused_data()
{
    QTest::addColumn<QString>("badge");
    QTest::newRow("empty") << QString();
    QTest::newRow("line breaks only") << QStringLiteral("\n\n");
}

void TestFrmSet::emptyBadgeLinkIsRefused()
{
    QFETCH(QString, badge);
    MessageBoxWatcher boxes;
    box("txtBadge")->setPlainText(badge);
    box("txtLinkStart")->setPlainText(QStringLiteral("http://site/new"));
    clickChange();
    QTRY_COMPARE(boxes.seen(),
                 QStringList { QStringLiteral("TalvorinTool: You have to enter badge link") });
    QCOMPARE(m_changed->count(), 0);
    // The dialog stays open with what was typed.
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(box("txtLinkStart")->toPlainText(), QStringLiteral("http://site/new"));
}

void TestFrmSet::linksAreStoredAsTypedWithoutLineBreaks()
{
    box("txtBadge")->setPlainText(QStringLiteral("   "));
    box("txtLinkStart")->setPlainText(QStringLiteral("http://site/\r\nstatus.php?on \n"));
    box("txtLinkClose")->clear();
    clickChange();
    QCOMPARE(m_changed->count(), 1);
    QCOMPARE(m_changed->first(),
             (QVariantList { QStringLiteral("   "), QStringLiteral("http://site/status.php?on "),
                             QString() }));
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
}

void TestFrmSet::enterStartsANewLine()
{
    QPlainTextEdit *badge = box("txtBadge");
    badge->setFocus();
    badge->moveCursor(QTextCursor::End);
    QTest::keyClick(badge, Qt::Key_Return);
    QCOMPARE(badge->toPlainText(), QStringLiteral("http://badge/old\n"));
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(m_changed->count(), 0);
}

void TestFrmSet::closingStoresNothing()
{
    box("txtBadge")->setPlainText(QStringLiteral("http://badge/edited"));
    QVERIFY(m_dialog->close());
    QCOMPARE(m_changed->count(), 0);
}

void TestFrmSet::changeSavesAndReloadsTheBadge()
{
    cleanup();
    TestHttpServer server;
    QVERIFY(server.start());
    server.setPage("/badge", "<html><body>badge</body></html>");
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("talvorin.ini"));
    const QByteArray badge = server.url("/badge").toLatin1();
    {
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[badgelink]=" + badge + "\r\n");
    }
    frmMain window { SettingsFile(ini) };
    window.load();
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(server.count("/badge"), 1, 15000);

    // File > Settings, the same badge link, a new exit link, "Change".
    QTimer::singleShot(0, &window, [&] {
        QTRY_VERIFY(window.findChild<frmSet *>());
        auto *dialog = window.findChild<frmSet *>();
        dialog->findChild<QPlainTextEdit *>(QStringLiteral("txtLinkClose"))
                ->setPlainText(QStringLiteral("http://site/off"));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdSave")),
                          Qt::LeftButton);
    });
    window.findChild<QAction *>(QStringLiteral("mnuSetings"))->trigger();

    QCOMPARE(window.linkClose(), QStringLiteral("http://site/off"));
    QFile file(ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("[badgelink]=" + badge
                                      + "\r\n[linkstart]=\r\n[linkclose]=http://site/off\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(server.count("/badge"), 2, 15000);
}

TALVORIN_TEST_MAIN(TestFrmSet)
#include "tst_frmset.moc"
