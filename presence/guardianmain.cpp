#include "presence/guardianhost.h"
#include "presence/guardianprotocol.h"

// talvorin-guardian: sends the owner's site the exit link when the program
// ends owing it (killed, crashed, aborted, hung through a logout). It only
// reads what the program tells it (GuardianProtocol) and never shares the
// program's name, memory or build flags, so whatever ends or changes the
// program leaves it standing.

namespace {

GuardianProtocol said; // 32 KiB of fixed buffers, none on the waiting path's stack
// One word of the program's whole: a packet longer than what receives it would be cut.
char bytes[GuardianProtocol::kLongestLine + 64];

} // namespace

int main(int argc, char **argv)
{
    if (!GuardianHost::setUp(argc, argv))
        return 2;
    // Once a logout's signal came, the program has this long to say that its
    // Exit runs; one that still only owes the link is taken to be hung.
    std::int64_t wordDue = -1;
    for (;;) {
        const bool waitsForWord = wordDue >= 0 && said.state() == GuardianProtocol::State::Armed;
        std::int64_t left = -1;
        if (waitsForWord) {
            const std::int64_t now = GuardianHost::msecsNow();
            left = wordDue > now ? wordDue - now : 0;
        }
        std::size_t count = 0;
        switch (GuardianHost::wait(bytes, sizeof bytes, &count, left)) {
        case GuardianHost::Heard::Words:
            said.take(bytes, count);
            break;
        case GuardianHost::Heard::EndSignalled:
            if (wordDue < 0)
                wordDue = GuardianHost::msecsNow() + GuardianHost::wordWaitMs();
            break;
        case GuardianHost::Heard::TimedOut:
            // The program's Exit, should it run after all, then sends nothing.
            GuardianHost::tellProgram(GuardianProtocol::kSent);
            return GuardianHost::sendExitLink(said.exitLink());
        case GuardianHost::Heard::ProgramEnded:
            return said.owesExitLink() ? GuardianHost::sendExitLink(said.exitLink()) : 0;
        }
    }
}
