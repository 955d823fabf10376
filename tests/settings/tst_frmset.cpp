#include "main_window/frmmain.h"
#include "settings/frmset.h"
#include "support/messageboxes.h"
#include "support/testhttpserver.h"
#include "support/testmain.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

QPlainTextEdit *box(QWidget *dialog, const char *name)
{
    return dialog->findChild<QPlainTextEdit *>(QLatin1String(name));
}

} // namespace

class TestFrmSet : public QObject {
    Q_OBJECT
private slots:
    // "Change" needs a badge link, blanks being one: then the links are handed
    // over as typed but without line breaks, and the dialog closes; else it
    // says so, hands nothing over and stays open.
    void change_data()
    {
        QTest::addColumn<QString>("badge");
        QTest::addColumn<bool>("refused");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("line breaks only") << "\n\n" << true;
        QTest::newRow("blanks only") << "   " << false;
    }
    void change()
    {
        QFETCH(QString, badge);
        QFETCH(bool, refused);
        frmSet dialog("http://badge/old", "http://site/on", "http://site/off");
        QSignalSpy changed(&dialog, &frmSet::linksChanged);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        MessageBoxWatcher boxes;
        box(&dialog, "txtBadge")->setPlainText(badge);
        box(&dialog, "txtLinkStart")->setPlainText("http://site/\nstatus.php?on \n");
        box(&dialog, "txtLinkClose")->clear();
        QTest::mouseClick(dialog.findChild<QPushButton *>("cmdSave"), Qt::LeftButton);
        QCOMPARE(dialog.isVisible(), refused);
        const QVariantList links { badge, "http://site/status.php?on ", "" };
        QCOMPARE(QList<QVariantList>(changed),
                 refused ? QList<QVariantList>() : QList<QVariantList> { links });
        const QString message = "TalvorinTool: You have to enter badge link";
        QTRY_COMPARE(boxes.seen(), refused ? QStringList { message } : QStringList());
        // What was typed stays in the boxes.
        QCOMPARE(box(&dialog, "txtLinkStart")->toPlainText(), "http://site/\nstatus.php?on \n");
    }

    // File > Settings, "Change": the file holds the new links and the badge
    // page is loaded again, from the same link all the same.
    void changeSavesAndReloadsTheBadge()
    {
        TestHttpServer server;
        QVERIFY(server.start());
        server.setPage("/badge", "<html><body>badge</body></html>");
        QTemporaryDir dir;
        const QString ini = dir.filePath("talvorin.ini");
        const QByteArray badge = server.url("/badge").toLatin1();
        QVERIFY(SettingsFile(ini).write("[badgelink]=" + badge + "\r\n"));
        frmMain window { SettingsFile(ini) };
        window.load();
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(server.count("/badge"), 1, 15000);
        QTimer::singleShot(0, &window, [&] {
            QTRY_VERIFY(window.findChild<frmSet *>());
            box(window.findChild<frmSet *>(), "txtLinkClose")->setPlainText("http://site/off");
            QTest::mouseClick(window.findChild<QPushButton *>("cmdSave"), Qt::LeftButton);
        });
        window.findChild<QAction *>("mnuSetings")->trigger();
        QVERIFY(SettingsFile(ini).read().startsWith(
                "[badgelink]=" + badge + "\r\n[linkstart]=\r\n[linkclose]=http://site/off\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(server.count("/badge"), 2, 15000);
    }
};

TALVORIN_TEST_MAIN(TestFrmSet)
#include "tst_frmset.moc"
