#include "common/graphics.h"
#include "desktop/trayicon.h"
#include "web/browserprofile.h"
#include "web/downloadrules.h"
#include "web/downloadsaver.h"
#include "web/webpage.h"
#include "support/datatable.h"
#include "support/onscreen.h"
#include "support/openedurls.h"
#include "support/testhttpserver.h"
#include "support/viewwindow.h"

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

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        QFile dirs(m_config.filePath(QStringLiteral("user-dirs.dirs")));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOWNLOAD_DIR=\"" + m_folder.toUtf8() + "\"\n");
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        m_tray = new TrayIcon(QIcon(QStringLiteral(":/icons/talvorin-32.png")), &m_menu, this);
        m_tray->show();
        m_view = m_window.fill(new QWebEngineView(&m_window));
        m_profile = new BrowserProfile(&m_window);
        m_view->setPage(new WebPage(m_profile->profile(), [](const QUrl &) { return true; }, m_view));
        QVERIFY(m_window.showExposed());
    }

    // Into a folder that is not there yet, whole. A slow one shows its
    // progress on the tooltip without its own name yet; the owner's file
    // takes that name meanwhile and is kept, the rename at the end never
    // replacing it. One the server breaks off leaves nothing at all. Where
    // the folder gives a complete file no name, it is kept and told.
    void downloads_data()
    {
        const QByteArray big = QByteArray("0123456789").repeated(6554), notes = "the notes\n";
        m_server.setPage("/link", "<a id=a href=/data download=report.csv></a><script>a.click()</script>");
        m_server.setPage("/data", notes, 200, { "Content-Type: application/octet-stream\r\n" });
        m_server.setPage("/slow", big, 200, { attachment("slow.bin"), 4096, 150 });
        m_server.setPage("/cut", big, 200, { attachment("slow.bin"), 4096, 150, 20000 });
        // "move": how the folder names a complete file; "": as it does.
        const auto row = dataTable<QByteArray, QString, QStringList, QString, QByteArray, QString>(
                "path", "move", "files", "told", "body", "progress");
        const QString percent = "Saving slow.bin: \\d+ % of 64 KB";
        row("slow", "/slow", {}, { "slow (1).bin" }, "Saved slow (1).bin", big, percent);
        row("broken off", "/cut", {}, {}, "Could not save slow.bin", {}, percent);
        row("no name given", "/link", "refused", { "report.csv.part" },
            "Saved as report.csv.part|The file is complete in " + m_folder, notes, {});
        row("old name kept", "/link", "linked", { "report.csv", "report.csv.part" },
            "Saved report.csv|In " + m_folder + ", where report.csv.part names the same file: it could not be removed (Operation not permitted)", notes, {});
    }

    void downloads()
    {
        QFETCH(QByteArray, path);
        QFETCH(QString, move);
        QFETCH(QStringList, files);
        QFETCH(QString, told);
        QFETCH(QByteArray, body);
        QFETCH(QString, progress);
        useSaver();
        if (!move.isEmpty()) // a folder that refuses to name the file, or to unname it
            m_saver->setFileMove([move](const QString &from, const QString &to, QString *error) {
                *error = "Operation not permitted";
                return move == "linked" && QFile::copy(from, to) ? MoveResult::MovedOldNameKept : MoveResult::Failed;
            });
        page()->load(QUrl(m_server.url(path)));
        if (!progress.isEmpty()) {
            const QRegularExpression line('^' + progress + '$');
            QTRY_VERIFY_WITH_TIMEOUT(tray()->toolTip().split(u'\n').indexOf(line) > 0, 10000);
            QFile mine(QDir(m_folder).filePath("slow.bin"));
            QVERIFY(!mine.exists() && mine.open(QIODevice::NewOnly) && mine.write("mine"));
            files << "slow.bin"; // sorts after "slow (1).bin"
        }
        QTRY_VERIFY_WITH_TIMEOUT(balloonText().contains(told), 15000);
        QVERIFY(!tray()->toolTip().contains("Saving"));
        QCOMPARE(savedFiles(), files);
        for (const QString &name : files) {
            QFile file(QDir(m_folder).filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), name == "slow.bin" ? QByteArray("mine") : body);
        }
        // The message opens the folder; other messages still bring the window.
        emit tray()->messageClicked();
        QCOMPARE(m_opened.all().value(m_opened.all().size() - 1), QUrl::fromLocalFile(m_folder));
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
        QSignalSpy messages(&useSaver(), &DownloadSaver::message);
        QSignalSpy requested(m_profile->profile(), &QWebEngineProfile::downloadRequested);
        for (int i = 0; i < 6; ++i)
            m_server.setPage("/item?" + QByteArray::number(i), "item", 200, { attachment("../.item.txt") });
        m_server.setPage("/burst", "<body><script>for (var i = 0; i < 6; ++i) {"
                                   " var a = document.createElement('a'); a.href = '/item?' + i;"
                                   " a.download = ''; document.body.appendChild(a); a.click(); }</script>");
        page()->load(QUrl(m_server.url("/burst")));
        // Every one of the six answered, the refused ones told or not.
        QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 4, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(requested.size(), 6, 15000);
        QStringList titles;
        for (const QList<QVariant> &message : messages)
            titles << message.at(0).toString();
        titles.sort();
        QCOMPARE(titles, QStringList({ "Downloads refused", "Saved _.item (1).txt", "Saved _.item (2).txt",
                                       "Saved _.item.txt" }));
        QCOMPARE(savedFiles(), QStringList({ "_.item (1).txt", "_.item (2).txt", "_.item.txt" }));

        page()->triggerAction(QWebEnginePage::SavePage);
        QTRY_COMPARE(requested.size(), 7);
        auto *request = requested.at(6).at(0).value<QWebEngineDownloadRequest *>();
        QTRY_COMPARE(request->state(), QWebEngineDownloadRequest::DownloadCancelled);

        useSaver();
        // Far from complete when the program ends, however slowly the test runs.
        m_server.setPage("/ending", QByteArray(1 << 22, 'x'), 200, { attachment("slow.bin"), 4096, 150 });
        page()->load(QUrl(m_server.url("/ending")));
        QTRY_VERIFY_WITH_TIMEOUT(savedFiles().contains("slow.bin.part.download"), 10000);
        m_saver.reset();
        QTRY_COMPARE(savedFiles(), QStringList());
    }

    // The picker opens at home, not in the working folder; it takes two
    // files where the input takes several, and opens next where those came
    // from; cancelled there, it empties the input.
    void filePicker()
    {
        QTemporaryDir working, files;
        QDir::setCurrent(working.path());
        QVERIFY(QFile(files.filePath("a.txt")).open(QIODevice::WriteOnly)
                && QFile(files.filePath("b.txt")).open(QIODevice::WriteOnly));
        m_server.setPage("/pick", "<input type=file id=f multiple style='position:fixed;left:0;"
                                  "top:0;width:100%;height:100%'><script>f.onchange = () =>"
                                  " fetch('/files?' + Array.from(f.files, x => x.name));</script>");
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
        QTRY_COMPARE(m_server.count("/files?"), 1);
        QCOMPARE(m_server.count("/files?a.txt,b.txt"), 1);
    }

    // A chat's sound plays with no click, even with the window hidden.
    void soundPlaysWithoutAClick()
    {
        m_server.setPage("/tone.wav", toneWav(), 200, { "Content-Type: audio/wav\r\n" });
        m_server.setPage("/sound", "<script>new Audio('/tone.wav').play().then("
                                   "function () { fetch('/played'); }, function () { fetch('/refused'); });</script>");
        m_window.hide(); // the chat in the tray: no click could come
        page()->load(QUrl(m_server.url("/sound")));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/played"), 1, 15000);
    }

private:
    QWebEnginePage *page() const { return m_view->page(); }
    QSystemTrayIcon *tray() const { return m_tray->findChild<QSystemTrayIcon *>(); }

    // A fresh saver into an empty folder, wired to the tray as the program
    // wires it; its progress shows sooner than the program's.
    DownloadSaver &useSaver()
    {
        QDir(m_folder).removeRecursively();
        const DownloadSaver::Pace pace { 3, 60000, 300 };
        m_saver = std::make_unique<DownloadSaver>(m_profile, pace, nullptr);
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
        clickAndType(m_view, {});
        return QTest::qWaitFor([&opened] { return !opened.isEmpty(); }, 15000) ? opened : "(none)";
    }

    TestHttpServer m_server;
    QTemporaryDir m_config, m_root;
    const QString m_folder = m_root.filePath(QStringLiteral("Downloads"));
    QMenu m_menu;
    ViewWindow m_window { QSize(400, 300) };
    QWebEngineView *m_view = nullptr; // the window's, as the profile is
    BrowserProfile *m_profile = nullptr;
    TrayIcon *m_tray = nullptr;
    std::unique_ptr<DownloadSaver> m_saver;
    OpenedUrls m_opened { { "file" } };
};

QTEST_MAIN(TestDownloads)
#include "tst_downloads.moc"
