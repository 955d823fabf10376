#include "common/graphics.h"
#include "desktop/trayicon.h"
#include "web/browserprofile.h"
#include "web/downloadrules.h"
#include "web/downloadsaver.h"
#include "web/filepicker.h"
#include "web/guardedpage.h"
#include "support/onscreen.h"
#include "support/testhttpserver.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QtEndian>

#include <memory>

namespace {

// A tenth of a second of a tone, as a WAV file: 8 kHz, 8 bits, mono.
QByteArray toneWav()
{
    QByteArray samples;
    for (int i = 0; i < 800; ++i)
        samples += char(128 + (i % 20 < 10 ? 60 : -60));
    const auto le32 = [](quint32 v) { v = qToLittleEndian(v); return QByteArray(reinterpret_cast<char *>(&v), 4); };
    const auto le16 = [](quint16 v) { v = qToLittleEndian(v); return QByteArray(reinterpret_cast<char *>(&v), 2); };
    return "RIFF" + le32(36 + samples.size()) + "WAVEfmt " + le32(16) + le16(1) + le16(1)
            + le32(8000) + le32(8000) + le16(1) + le16(8) + "data" + le32(samples.size()) + samples;
}

QByteArray attachment(const QByteArray &name)
{
    return "Content-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\""
            + name + "\"\r\n";
}

} // namespace

// The files a page sends, saved into a download folder of the test's own
// (named in the desktop's user-dirs file) and told on a real tray icon; the
// file picker; sound without a click. Pages come from a local server that
// can send slowly or break off.
class TestDownloads : public QObject {
    Q_OBJECT
public:
    static void initMain() { useSoftwareCompositing(); }

public slots:
    void openOutside(const QUrl &url) { m_opened.append(url); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        QDir(m_config.path()).mkpath(QStringLiteral("user-dirs"));
        QFile dirs(m_config.filePath(QStringLiteral("user-dirs.dirs")));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOWNLOAD_DIR=\"" + m_folder.toUtf8() + "\"\n");
        dirs.close();
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        QCOMPARE(DownloadSaver::folder(), m_folder);
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openOutside");

        m_profile = new BrowserProfile(this);
        m_tray = new TrayIcon(QIcon(QStringLiteral(":/icons/talvorin-32.png")), &m_menu, this);
        m_tray->show();
        m_view.setPage(new GuardedPage(m_profile->profile(), [](const QUrl &) { return true; }, &m_view));
        m_view.resize(400, 300);
        m_view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_view));
    }
    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        m_saver.reset();
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("suggested");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("saved");
        const QStringList none;
        QTest::newRow("plain") << "notes.txt" << none << "notes.txt";
        QTest::newRow("parent") << "../x" << none << "_x";
        QTest::newRow("absolute") << "/etc/x" << none << "_etc_x";
        QTest::newRow("backslashes") << "..\\..\\a\\b.txt" << none << "_.._a_b.txt";
        QTest::newRow("controls") << "a\nb\t\x01.txt" << none << "a_b__.txt";
        QTest::newRow("right-to-left override") << "bill\u202Etxt.exe" << none << "bill_txt.exe";
        QTest::newRow("leading dot") << ".bashrc" << none << "bashrc";
        QTest::newRow("trailing dots") << " notes.txt. . " << none << "notes.txt";
        QTest::newRow("dots") << ".." << none << "download";
        QTest::newRow("empty") << "" << none << "download";
        QTest::newRow("blank") << "  \t " << none << "download";
        QTest::newRow("windows characters") << "a<b>:c\"d|e?f*.txt" << none << "a_b__c_d_e_f_.txt";
        QTest::newRow("windows device") << "con.txt" << none << "_con.txt";
        QTest::newRow("windows device, no extension") << "Lpt1" << none << "_Lpt1";
        QTest::newRow("taken") << "notes.txt" << QStringList { "notes.txt" } << "notes (1).txt";
        QTest::newRow("taken twice") << "notes.txt" << QStringList { "notes (1).txt", "notes.txt" }
                                     << "notes (2).txt";
        QTest::newRow("taken, other case") << "notes.txt" << QStringList { "NOTES.TXT" } << "notes (1).txt";
        QTest::newRow("temporary name taken") << "notes.txt" << QStringList { "notes.txt.part" }
                                              << "notes (1).txt";
        QTest::newRow("taken, double extension") << "b.tar.gz" << QStringList { "b.tar.gz" } << "b (1).tar.gz";
        QTest::newRow("taken, no extension") << "README" << QStringList { "README" } << "README (1)";
        const QString longName = QString(300, u'a') + ".pdf";
        QTest::newRow("long") << longName << none << QString(237, u'a') + ".pdf";
        QTest::newRow("long, taken") << longName << QStringList { QString(237, u'a') + ".pdf" }
                                     << QString(233, u'a') + " (1).pdf";
        QTest::newRow("long, two bytes each") << QString(200, u'é') + ".txt" << none
                                              << QString(118, u'é') + ".txt";
        QString emoji;
        for (int i = 0; i < 100; ++i)
            emoji += QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("long, four bytes each") << emoji + ".txt" << none << emoji.left(2 * 59) + ".txt";
        QTest::newRow("long extension") << "x." + QString(300, u'y') << none << "x." + QString(239, u'y');
    }

    void fileNames()
    {
        QFETCH(QString, suggested);
        QFETCH(QStringList, taken);
        QFETCH(QString, saved);
        QCOMPARE(savedFileName(suggested, taken), saved);
        QCOMPARE(temporaryFileName(saved), saved + ".part");
    }

    void progressLines_data()
    {
        QTest::addColumn<qint64>("received");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("line");
        QTest::newRow("known") << qint64(5662311) << qint64(12582912) << "Saving notes.zip: 45 % of 12 MB";
        QTest::newRow("unknown") << qint64(3565158) << qint64(-1) << "Saving notes.zip: 3.4 MB so far";
        QTest::newRow("small") << qint64(0) << qint64(512) << "Saving notes.zip: 0 % of 512 bytes";
    }

    void progressLines()
    {
        QFETCH(qint64, received);
        QFETCH(qint64, total);
        QFETCH(QString, line);
        QCOMPARE(progressLine(QStringLiteral("notes.zip"), received, total), line);
    }

    // Three within the window, the fourth refused and told, the fifth refused
    // silently; once the window has passed, three more.
    void paceRefusesBursts()
    {
        DownloadPace pace(300, 3);
        const QList<DownloadPace::Verdict> burst { DownloadPace::Save, DownloadPace::Save,
                                                   DownloadPace::Save, DownloadPace::RefuseAndTell,
                                                   DownloadPace::Refuse };
        for (int round = 0; round < 2; ++round) {
            QList<DownloadPace::Verdict> verdicts;
            for (int i = 0; i < burst.size(); ++i)
                verdicts << pace.take();
            QCOMPARE(verdicts, burst);
            QTest::qWait(350);
        }
    }

    // An attachment and a link with `download`, each sent twice, into a
    // folder that is not there yet: whole files, the second beside the first.
    void downloadsAreSavedWhole_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QStringList>("saved");
        m_server.setPage("/notes", "the notes\n");
        m_server.setDelivery("/notes", { attachment("notes.txt") });
        m_server.setPage("/link", "<a id=a href='/data' download='report.csv'>x</a>"
                                  "<script>document.getElementById('a').click()</script>");
        m_server.setPage("/data", "a,b\n1,2\n");
        m_server.setDelivery("/data", { "Content-Type: application/octet-stream\r\n" });
        m_server.setPage("/evil", "evil");
        m_server.setDelivery("/evil", { attachment("../../.evil.txt") });
        QTest::newRow("attachment") << QByteArray("/notes") << QStringList { "notes (1).txt", "notes.txt" };
        QTest::newRow("download link") << QByteArray("/link") << QStringList { "report (1).csv", "report.csv" };
        QTest::newRow("path in the name") << QByteArray("/evil") << QStringList { "_.._.evil (1).txt", "_.._.evil.txt" };
    }

    void downloadsAreSavedWhole()
    {
        QFETCH(QByteArray, path);
        QFETCH(QStringList, saved);
        QVERIFY(QDir(m_folder).removeRecursively());
        useSaver({ 3, 60000, 300 });
        for (int i = 0; i < 2; ++i) {
            page()->load(QUrl(m_server.url(path)));
            QTRY_COMPARE_WITH_TIMEOUT(savedFiles().size(), i + 1, 15000);
            const QString name = saved.at(1 - i);
            QTRY_VERIFY(balloonText().contains("Saved " + name));
        }
        QCOMPARE(savedFiles(), saved);
        QCOMPARE(QDir(m_root.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), { "Downloads" });
        const QByteArray expected = path == "/link" ? "a,b\n1,2\n" : path == "/notes" ? "the notes\n" : "evil";
        for (const QString &name : saved)
            QCOMPARE(bytesOf(name), expected);

        // The message opens the folder; other messages still bring the window.
        emit tray()->messageClicked();
        QCOMPARE(m_opened.value(m_opened.size() - 1), QUrl::fromLocalFile(m_folder));
        QSignalSpy restore(m_tray, &TrayIcon::restoreRequested);
        m_tray->notify(QStringLiteral("Visitor"), QStringLiteral("hello"));
        emit tray()->messageClicked();
        QCOMPARE(restore.size(), 1);
    }

    // A download that runs a while shows its progress on the tooltip, never
    // under its own name, which it gets when complete; one the server breaks
    // off leaves nothing at all.
    void slowAndBrokenDownloads_data()
    {
        QTest::addColumn<bool>("sendsLength");
        QTest::addColumn<qint64>("cutAfter");
        QTest::addColumn<QString>("progress");
        QTest::newRow("known size") << true << qint64(-1) << "Saving slow.bin: \\d+ % of 64 KB";
        QTest::newRow("unknown size") << false << qint64(-1) << "Saving slow.bin: [\\d.]+ KB so far";
        QTest::newRow("broken off") << true << qint64(20000) << "Saving slow.bin: \\d+ % of 64 KB";
    }

    void slowAndBrokenDownloads()
    {
        QFETCH(bool, sendsLength);
        QFETCH(qint64, cutAfter);
        QFETCH(QString, progress);
        QDir(m_folder).removeRecursively();
        useSaver({ 3, 60000, 300 });
        QByteArray body;
        for (int i = 0; body.size() < 65536; ++i)
            body += QByteArray::number(i % 10);
        m_server.setPage("/slow", body);
        m_server.setDelivery("/slow", { attachment("slow.bin"), 4096, 150, cutAfter, sendsLength });
        page()->load(QUrl(m_server.url("/slow")));
        const QRegularExpression line(QLatin1Char('^') + progress + QLatin1Char('$'));
        QTRY_VERIFY_WITH_TIMEOUT(tray()->toolTip().split(u'\n').indexOf(line) > 0, 10000);
        QVERIFY(!QFile::exists(QDir(m_folder).filePath("slow.bin")));
        QTRY_VERIFY_WITH_TIMEOUT(!tray()->toolTip().contains("Saving"), 15000);
        if (cutAfter < 0) {
            QTRY_VERIFY(balloonText().contains("Saved slow.bin"));
            QCOMPARE(savedFiles(), { "slow.bin" });
            QCOMPARE(bytesOf("slow.bin"), body);
        } else {
            QTRY_VERIFY(balloonText().contains("Could not save slow.bin"));
            QTRY_COMPARE(savedFiles(), QStringList());
        }
    }

    // A page that sends one file after another gets three saved; the rest
    // are refused, told once. Saving the page itself is refused.
    void refusals()
    {
        QDir(m_folder).removeRecursively();
        DownloadSaver &saver = useSaver({ 3, 60000, 300 });
        QSignalSpy messages(&saver, &DownloadSaver::message);
        for (int i = 0; i < 6; ++i) {
            const QByteArray path = "/item?" + QByteArray::number(i);
            m_server.setPage(path, "item");
            m_server.setDelivery(path, { attachment("item.txt") });
        }
        m_server.setPage("/burst", "<body><script>for (var i = 0; i < 6; ++i) {"
                                   " var a = document.createElement('a'); a.href = '/item?' + i;"
                                   " a.download = ''; document.body.appendChild(a); a.click(); }"
                                   "</script>");
        page()->load(QUrl(m_server.url("/burst")));
        QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 4, 15000);
        QStringList titles;
        for (const QList<QVariant> &message : messages)
            titles << message.at(0).toString();
        titles.sort();
        QCOMPARE(titles, QStringList({ "Downloads refused", "Saved item (1).txt", "Saved item (2).txt",
                                       "Saved item.txt" }));
        QCOMPARE(savedFiles(), QStringList({ "item (1).txt", "item (2).txt", "item.txt" }));

        QSignalSpy requested(m_profile->profile(), &QWebEngineProfile::downloadRequested);
        page()->triggerAction(QWebEnginePage::SavePage);
        QTRY_COMPARE(requested.size(), 1);
        auto *request = requested.at(0).at(0).value<QWebEngineDownloadRequest *>();
        QTRY_COMPARE(request->state(), QWebEngineDownloadRequest::DownloadCancelled);
        QCOMPARE(savedFiles().size(), 3);
    }

    // The picker opens at home, not in the working folder; cancelled, the
    // page gets nothing; then two files at once where the input takes
    // several, and the next time it opens where those came from.
    void filePicker()
    {
        QTemporaryDir working;
        QDir::setCurrent(working.path());
        QTemporaryDir files;
        for (const char *name : { "a.txt", "b.txt" }) {
            QFile file(files.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x"));
        }
        m_server.setPage("/pick", "<body style='margin:0'><input type=file id=f multiple"
                                  " style='position:fixed;left:0;top:0;width:100%;height:100%'><script>"
                                  "f.onchange = function () { fetch('/files?' + Array.from(f.files)"
                                  ".map(function (x) { return x.name; }).join(',')); };</script>");
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        page()->load(QUrl(m_server.url("/pick")));
        QTRY_VERIFY(!loaded.isEmpty());

        QCOMPARE(pick([](QFileDialog *dialog) { dialog->reject(); }), QDir::homePath());
        QCOMPARE(pick([&files](QFileDialog *dialog) {
                     QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
                     dialog->setDirectory(files.path());
                     dialog->findChild<QLineEdit *>("fileNameEdit")->setText("\"a.txt\" \"b.txt\"");
                     static_cast<QDialog *>(dialog)->accept();
                 }),
                 QDir::homePath());
        QTRY_COMPARE(m_server.count("/files?a.txt,b.txt"), 1);
        QCOMPARE(pick([](QFileDialog *dialog) { dialog->reject(); }), files.path());
        // The first cancel sent nothing; the last one leaves the input empty.
        QByteArrayList sent;
        for (const QByteArray &request : m_server.requests()) {
            if (request.startsWith("/files"))
                sent << request;
        }
        QTRY_COMPARE(sent, QByteArrayList({ "/files?a.txt,b.txt", "/files?" }));
    }

    // A chat's sound plays with no click, the window shown or hidden.
    void soundPlaysWithoutAClick_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::newRow("shown") << true;
        QTest::newRow("hidden") << false;
    }

    void soundPlaysWithoutAClick()
    {
        QFETCH(bool, shown);
        m_server.setPage("/tone.wav", toneWav());
        m_server.setDelivery("/tone.wav", { "Content-Type: audio/wav\r\n" });
        m_server.setPage("/sound", "<script>new Audio('/tone.wav').play().then("
                                   "function () { fetch('/played'); },"
                                   "function (e) { fetch('/refused?' + e.name); });</script>");
        m_view.setVisible(shown);
        const qsizetype before = m_server.requests().size();
        const auto answer = [this, before] {
            for (const QByteArray &request : m_server.requests().mid(before)) {
                if (request.startsWith("/played") || request.startsWith("/refused"))
                    return request;
            }
            return QByteArray();
        };
        page()->load(QUrl(m_server.url("/sound")));
        QTRY_VERIFY_WITH_TIMEOUT(!answer().isEmpty(), 15000);
        QCOMPARE(answer(), "/played");
        m_view.show();
    }

private:
    QWebEnginePage *page() const { return m_view.page(); }
    QSystemTrayIcon *tray() const { return m_tray->findChild<QSystemTrayIcon *>(); }

    // A fresh saver with its own pace, wired to the tray as the program wires it.
    DownloadSaver &useSaver(DownloadSaver::Pace pace)
    {
        m_saver = std::make_unique<DownloadSaver>(m_profile->profile(), pace, nullptr);
        connect(m_saver.get(), &DownloadSaver::progressChanged, m_tray, &TrayIcon::showDownloads);
        connect(m_saver.get(), &DownloadSaver::message, m_tray, &TrayIcon::notifyOpening);
        return *m_saver;
    }

    QStringList savedFiles() const
    {
        return QDir(m_folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QByteArray bytesOf(const QString &name) const
    {
        QFile file(QDir(m_folder).filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }

    // Clicks the page's file input, answers the dialog that opens, and tells
    // where it opened; the dialog runs its own event loop, so it is answered
    // from inside.
    QString pick(const std::function<void(QFileDialog *)> &answer)
    {
        QString opened;
        QTimer poll;
        poll.callOnTimeout([&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                poll.stop();
                opened = dialog->directory().absolutePath();
                answer(dialog);
            }
        });
        poll.start(20);
        clickAndType(&m_view, {});
        if (!QTest::qWaitFor([&opened] { return !opened.isEmpty(); }, 15000))
            return QStringLiteral("(no dialog)");
        return opened;
    }

    TestHttpServer m_server;
    QTemporaryDir m_config;
    QTemporaryDir m_root;
    const QString m_folder = m_root.filePath(QStringLiteral("Downloads"));
    QMenu m_menu;
    QWebEngineView m_view;
    BrowserProfile *m_profile = nullptr;
    TrayIcon *m_tray = nullptr;
    std::unique_ptr<DownloadSaver> m_saver;
    QList<QUrl> m_opened;
};

QTEST_MAIN(TestDownloads)
#include "tst_downloads.moc"
