#pragma once

#include <cstddef>
#include <cstdint>

// What the guardian (talvorin-guardian) needs of its system: its line to the
// program, the signals of a logout, a clock, and a way to start the sender.
// Plain C++ and the C library; nothing on the waiting path allocates.
namespace GuardianHost {

enum class Heard {
    Words, // bytes from the program
    ProgramEnded, // the line closed: the program has ended, however
    EndSignalled, // a logout's or a terminal's signal reached the guardian
    TimedOut, // the wait asked for is over
};

// From the command line the program started it with; false when it was not.
bool setUp(int argc, char **argv);
// Waits for the program, at most timeoutMs (forever when negative).
Heard wait(char *bytes, std::size_t size, std::size_t *count, std::int64_t timeoutMs);
std::int64_t msecsNow();
// How long a signalled program has to speak before it is taken to be hung.
std::int64_t wordWaitMs();
// Tells the program a word of the guardian's own (GuardianProtocol::kSent).
void tellProgram(const char *word);
// Starts the program's executable in its sending mode with the link on its
// standard input, never on a command line, and returns the guardian's status.
int sendExitLink(const char *link);

} // namespace GuardianHost
