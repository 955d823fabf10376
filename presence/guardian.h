#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;

// The program's side of its guardian, talvorin-guardian: a very small program
// of its own that tells the owner's site the owner has gone when the program
// cannot (killed, also by name, crashed, aborted, hung at a logout). The
// program keeps it told of the exit link owed should it end now (see
// PresenceRules::owesExitLink) and of Exit's own request (sending, then
// done); when the program ends owing the link, the guardian starts the
// program's executable in its sending mode, which requests the link as Exit
// does (the same request, the environment's proxy, at most 10 seconds).
//
// The line to it never holds the program up: only the latest state matters,
// so a word that would wait is kept until the line takes it, replaced by any
// later one. A guardian that is gone or stopped costs the program nothing.
class Guardian {
public:
    // The sending mode, asked for by a switch that --help does not list, with
    // the link on standard input: the status to end with, or none for the program.
    static std::optional<int> runIfAsked(int argc, char **argv);

    // Starts the guardian, owed nothing yet; null when it could not be
    // started (the program runs on unguarded). Needs the application object.
    static std::unique_ptr<Guardian> start();
    // The guardian of this program, while there is one.
    static Guardian *ofThisProgram() { return s_running; }
    // The line closes: a guardian owed nothing ends at once.
    ~Guardian();

    // The exit link owed should the program end now; empty when none is.
    // Once Exit has begun, its own words rule.
    void setOwedExitLink(const QString &link);
    void exitBegins() { m_exiting = true; }
    // Exit's request for `link` is on its way, then has ended.
    void exitSending(const QString &link);
    void exitDone();
    // The guardian took the program for hung and sent the exit link itself.
    bool hasSentExitLink();

private:
    explicit Guardian(qintptr line, qint64 process);
    void tell(std::string word);
    // The latest word, as soon as the line takes it.
    void flush();
    // What the guardian said, and whether it is still there.
    void listen();
    void lost();
    void reap();

    static QString executable();
    static Guardian *s_running;

    qintptr m_line;
    qint64 m_process;
    std::string m_unsent;
    QString m_owed;
    bool m_exiting = false;
    bool m_sent = false;
    bool m_gone = false;
    bool m_midWord = false; // part of the last word is on the line already
    std::unique_ptr<QSocketNotifier> m_readable, m_writable;
};
