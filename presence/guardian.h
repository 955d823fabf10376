#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <string>

// A very small second process that tells the owner's site the owner has gone
// when the program cannot: killed, crashed, aborted. The program keeps it
// told of the exit link owed should it end now (see
// PresenceRules::owesExitLink); when the program ends without having sent it,
// the guardian requests it once, as Exit does (webClose, at most 10 seconds),
// and ends. A program that ends owing nothing leaves it to end in silence.
//
// On Linux it is a copy of the program forked before any thread exists,
// which lets go of every library it does not need and only reads a pipe; to
// send the link it starts the program's own executable again with a switch
// of its own. On Windows it is the program's own executable from the start.
// Either way it holds no window, no settings file and no single-copy lock,
// and leaves the caller's terminal and output pipes alone.
//
// A logout, or a terminal's Ctrl+C or hang-up, signals the whole process
// group, so the guardian hears it beside the program: it then waits up to 10
// seconds for the program's word. The program's own Exit disarms it at once
// and it ends in silence; a program still owing the exit link when those 10
// seconds are over is taken to be hung, and the guardian sends the link itself.
class Guardian {
public:
    // The guardian's own parts of the program, asked for by a switch that
    // --help does not list: the status to end with, or none for the program.
    static std::optional<int> runIfAsked(int argc, char **argv);

    // Starts the guardian, owed nothing yet. Early in main(), before any
    // thread exists; null when it could not be started (the program runs on
    // unguarded). argv0 names the process that sends the link.
    static std::unique_ptr<Guardian> start(char *argv0);
    // The pipe closes: a guardian owed nothing ends at once.
    ~Guardian();

    // The exit link owed should the program end now; empty when none is.
    void setOwedExitLink(const QString &link);

private:
    explicit Guardian(qintptr pipe) : m_pipe(pipe) { }
    // Requests the exit link once, as Exit does, and returns the status to end with.
    static int sendExitLink(int argc, char **argv, const QString &link);
    bool tell(const std::string &message);

    qintptr m_pipe;
    QString m_owed;
};
