#include "common/graphics.h"
#include "desktop/trayicon.h"
#include "web/browserprofile.h"
#include "web/downloadrules.h"
#include "web/downloadsaver.h"
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

namespace {

QByteArray attachment(const QByteArray &name)
{
    return "Content-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\""
            + name + "\"\r\n";
}

// A WAV file of 800 silent-ish samples: 8 kHz, 8 bits, mono.
QByteArray toneWav()
{
    const auto le = [](quint32 v, int bytes) { v = qToLittleEndian(v); return QByteArray(reinterpret_cast<char *>(&v), bytes); };
    return "RIFF" + le(36 + 800, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4)
            + le(8000, 4) + le(1, 2) + le(8, 2) + "data" + le(800, 4) + QByteArray(800, char(100));
}

} // namespace

// The files a page sends, saved into a download folder of the test's own
// (named in the desktop's user-dirs file) and told on a real tray icon; the
// file picker; sound without a click. A local server plays the pages and can
// send slowly or break off.
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
        QFile dirs(m_config.filePath(QStringLiteral("user-dirs.dirs")));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOWNLOAD_DIR=\"" + m_folder.toUtf8() + "\"\n");
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openOutside");
        m_tray = new TrayIcon(QIcon(QStringLiteral(":/icons/talvorin-32.png")), &m_menu, this);
        m_tray->show();
        m_profile = new BrowserProfile(this);
        m_view.setPage(new GuardedPage(m_profile->profile(), [](const QUrl &) { return true; }, &m_view));
        m_view.resize(400, 300);
        m_view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_view));
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void fileNames_data()
    {
        QTest::addColumn<QString>("suggested");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("saved");
        const auto row = [](const char *name, const QString &suggested, const QString &saved,
                            const QStringList &taken = {}) {
            QTest::newRow(name) << suggested << taken << saved;
        };
        row("plain", "notes.txt", "notes.txt");
        row("parent", "../x", "_x");
        row("backslashes", "..\\..\\a\\b.txt", "_.._a_b.txt");
        // Controls, and an override that would show "bill.exe" as "billexe.txt".
        row("controls", "a\nb\t\x01" "bill\u202Etxt.exe", "a_b__bill_txt.exe");
        row("dots and blanks around", " .notes.txt. . ", "notes.txt");
        row("nothing left", "..", "download");
        row("windows characters", "a<b>:c\"d|e?f*.txt", "a_b__c_d_e_f_.txt");
        row("windows device", "con.txt", "_con.txt");
        row("taken", "notes.txt", "notes (1).txt", { "notes.txt" });
        row("taken twice", "notes.txt", "notes (2).txt", { "notes (1).txt", "notes.txt" });
        row("taken, other case", "notes.txt", "notes (1).txt", { "NOTES.TXT" });
        row("temporary name taken", "notes.txt", "notes (1).txt", { "notes.txt.part" });
        row("taken, double extension", "b.tar.gz", "b (1).tar.gz", { "b.tar.gz" });
        row("taken, no extension", "README", "README (1)", { "README" });
        // 255 bytes less ".part" and the engine's ".download".
        const QString longName = QString(300, u'a') + ".pdf";
        row("long", longName, QString(237, u'a') + ".pdf");
        row("long, taken", longName, QString(233, u'a') + " (1).pdf", { QString(237, u'a') + ".pdf" });
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(100);
        row("long, four bytes each", emoji + ".txt", emoji.left(2 * 59) + ".txt");
        row("long extension", "x." + QString(300, u'y'), "x." + QString(239, u'y'));
    }

    void fileNames()
    {
        QFETCH(QString, suggested);
        QFETCH(QStringList, taken);
        QFETCH(QString, saved);
        QCOMPARE(savedFileName(suggested, taken), saved);
    }

    void progressLines()
    {
        QCOMPARE(progressLine("notes.zip", 5662311, 12582912), "Saving notes.zip: 45 % of 12 MB");
        QCOMPARE(progressLine("notes.zip", 3565158, -1), "Saving notes.zip: 3.4 MB so far");
        QCOMPARE(progressLine("%2.zip", 0, 512), "Saving %2.zip: 0 % of 512 bytes");
    }

    // Three within the window, the fourth refused and told, the fifth
    // refused quietly; once the window has passed, the same again.
    void paceRefusesBursts()
    {
        DownloadPace pace(300, 3);
        for (int round = 0; round < 2; ++round) {
            QList<DownloadPace::Verdict> verdicts;
            for (int i = 0; i < 5; ++i)
                verdicts << pace.take();
            QCOMPARE(verdicts, QList({ DownloadPace::Save, DownloadPace::Save, DownloadPace::Save,
                                       DownloadPace::RefuseAndTell, DownloadPace::Refuse }));
            QTest::qWait(350);
        }
    }

    // Into a folder that is not there yet, whole. A slow one shows its
    // progress on the tooltip without its own name yet; the owner's file
    // takes that name meanwhile and is kept, the rename at the end never
    // replacing it. One the server breaks off leaves nothing at all.
    void downloads_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("progress");
        const QByteArray big = QByteArray("0123456789").repeated(6554), notes = "the notes\n";
        m_server.setPage("/link", "<a id=a href=/data download=report.csv></a><script>a.click()</script>");
        m_server.setPage("/data", notes, 200, { "Content-Type: application/octet-stream\r\n" });
        m_server.setPage("/slow", big, 200, { attachment("slow.bin"), 4096, 150 });
        m_server.setPage("/unsized", big, 200, { attachment("slow.bin"), 4096, 150, -1, false });
        m_server.setPage("/cut", big, 200, { attachment("slow.bin"), 4096, 150, 20000 });
        const auto row = [](const char *name, const char *path, const QString &saved,
                            const QByteArray &body, const QString &progress = {}) {
            QTest::newRow(name) << QByteArray(path) << saved << body << progress;
        };
        row("link", "/link", "report.csv", notes);
        const QString percent = "Saving slow.bin: \\d+ % of 64 KB";
        row("slow", "/slow", "slow (1).bin", big, percent);
        row("no size", "/unsized", "slow (1).bin", big, "Saving slow.bin: [\\d.]+ KB so far");
        row("broken off", "/cut", {}, {}, percent);
    }

    void downloads()
    {
        QFETCH(QByteArray, path);
        QFETCH(QString, saved);
        QFETCH(QByteArray, body);
        QFETCH(QString, progress);
        QDir(m_folder).removeRecursively();
        useSaver({ 3, 60000, 300 });
        page()->load(QUrl(m_server.url(path)));
        QStringList files = saved.isEmpty() ? QStringList() : QStringList(saved);
        if (!progress.isEmpty()) {
            const QRegularExpression line('^' + progress + '$');
            QTRY_VERIFY_WITH_TIMEOUT(tray()->toolTip().split(u'\n').indexOf(line) > 0, 10000);
            QFile mine(QDir(m_folder).filePath("slow.bin"));
            QVERIFY(!mine.exists() && mine.open(QIODevice::NewOnly) && mine.write("mine"));
            files << "slow.bin"; // sorts after "slow (1).bin"
        }
        const QString told = saved.isEmpty() ? "Could not save slow.bin" : "Saved " + saved;
        QTRY_VERIFY_WITH_TIMEOUT(balloonText().contains(told), 15000);
        QVERIFY(!tray()->toolTip().contains("Saving"));
        QCOMPARE(savedFiles(), files);
        for (const QString &name : files) {
            QFile file(QDir(m_folder).filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), name == "slow.bin" ? QByteArray("mine") : body);
        }
        if (saved.isEmpty())
            return;
        // The message opens the folder; other messages still bring the window.
        emit tray()->messageClicked();
        QCOMPARE(m_opened.value(m_opened.size() - 1), QUrl::fromLocalFile(m_folder));
        QSignalSpy restore(m_tray, &TrayIcon::restoreRequested);
        m_tray->notify(QStringLiteral("Visitor"), QStringLiteral("hello"));
        emit tray()->messageClicked();
        QCOMPARE(restore.size(), 1);
    }

    // A page that sends one file after another (with a path in its name)
    // gets three saved under safe names, each beside the last, the rest
    // refused and told once. Saving the page itself is refused. The program
    // ends while a download runs: it leaves nothing of it.
    void refusalsAndEnd()
    {
        QDir(m_folder).removeRecursively();
        QSignalSpy messages(&useSaver({ 3, 60000, 300 }), &DownloadSaver::message);
        for (int i = 0; i < 6; ++i)
            m_server.setPage("/item?" + QByteArray::number(i), "item", 200, { attachment("../.item.txt") });
        m_server.setPage("/burst", "<body><script>for (var i = 0; i < 6; ++i) {"
                                   " var a = document.createElement('a'); a.href = '/item?' + i;"
                                   " a.download = ''; document.body.appendChild(a); a.click(); }</script>");
        page()->load(QUrl(m_server.url("/burst")));
        QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 4, 15000);
        QStringList titles;
        for (const QList<QVariant> &message : messages)
            titles << message.at(0).toString();
        titles.sort();
        QCOMPARE(titles, QStringList({ "Downloads refused", "Saved _.item (1).txt", "Saved _.item (2).txt",
                                       "Saved _.item.txt" }));
        const QStringList saved { "_.item (1).txt", "_.item (2).txt", "_.item.txt" };
        QCOMPARE(savedFiles(), saved);

        QSignalSpy requested(m_profile->profile(), &QWebEngineProfile::downloadRequested);
        page()->triggerAction(QWebEnginePage::SavePage);
        QTRY_COMPARE(requested.size(), 1);
        auto *request = requested.at(0).at(0).value<QWebEngineDownloadRequest *>();
        QTRY_COMPARE(request->state(), QWebEngineDownloadRequest::DownloadCancelled);

        useSaver({ 3, 60000, 300 });
        m_server.setPage("/ending", QByteArray(65536, 'x'), 200, { attachment("slow.bin"), 4096, 150 });
        page()->load(QUrl(m_server.url("/ending")));
        QTRY_VERIFY_WITH_TIMEOUT(savedFiles().contains("slow.bin.part.download"), 10000);
        m_saver.reset();
        QTRY_COMPARE(savedFiles(), saved);
        m_tray->showDownloads({});
    }

    // The picker opens at home, not in the working folder; it takes two
    // files where the input takes several, and opens next where those came
    // from; cancelled there, it empties the input.
    void filePicker()
    {
        QTemporaryDir working, files;
        QDir::setCurrent(working.path());
        for (const char *name : { "a.txt", "b.txt" }) {
            QFile file(files.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        m_server.setPage("/pick", "<body style='margin:0'><input type=file id=f multiple"
                                  " style='position:fixed;width:100%;height:100%'><script>"
                                  "f.onchange = function () { fetch('/files?' + Array.from(f.files)"
                                  ".map(function (x) { return x.name; }).join(',')); };</script>");
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        page()->load(QUrl(m_server.url("/pick")));
        QTRY_VERIFY(!loaded.isEmpty());
        QCOMPARE(pick([&files](QFileDialog *dialog) {
                     dialog->setDirectory(files.path());
                     dialog->findChild<QLineEdit *>("fileNameEdit")->setText("\"a.txt\" \"b.txt\"");
                     static_cast<QDialog *>(dialog)->accept();
                 }),
                 QDir::homePath());
        QCOMPARE(pick([](QFileDialog *dialog) { dialog->reject(); }), files.path());
        const auto sent = [this] {
            QByteArrayList files = m_server.requests();
            files.removeIf([](const QByteArray &request) { return !request.startsWith("/files"); });
            return files;
        };
        QTRY_COMPARE(sent(), QByteArrayList({ "/files?a.txt,b.txt", "/files?" }));
    }

    // A chat's sound plays with no click, the window shown and hidden.
    void soundPlaysWithoutAClick()
    {
        m_server.setPage("/tone.wav", toneWav(), 200, { "Content-Type: audio/wav\r\n" });
        m_server.setPage("/sound", "<script>new Audio('/tone.wav').play().then("
                                   "function () { fetch('/played'); }, function () { fetch('/refused'); });</script>");
        for (const bool shown : { true, false }) {
            m_view.setVisible(shown);
            const int played = m_server.count("/played") + 1;
            page()->load(QUrl(m_server.url("/sound")));
            QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/played") + m_server.count("/refused"), played, 15000);
            QCOMPARE(m_server.count("/played"), played);
        }
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

    // Clicks the page's file input and tells where the dialog opened; the
    // dialog runs an event loop of its own, so it is answered from inside.
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
        return QTest::qWaitFor([&opened] { return !opened.isEmpty(); }, 15000) ? opened : "(none)";
    }

    TestHttpServer m_server;
    QTemporaryDir m_config, m_root;
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
