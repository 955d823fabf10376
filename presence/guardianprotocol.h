#pragma once

#include <cstddef>
#include <string>

// What the program tells its guardian, one line each time it changes (only
// the latest line matters):
//   "armed LINK"    the site may show the owner online: should the program
//                   end now, LINK is the exit link owed;
//   "sending LINK"  Exit's own request for LINK is on its way;
//   "done"          Exit's request has ended (answer, error, refusal or its
//                   10 seconds);
//   "disarmed"      nothing is owed (offline, asleep, away, no exit link).
// A program that ends while armed or sending owes LINK: a second "offline"
// beats none. A backslash and a line break in the link are written as "\\"
// and "\n". The guardian answers once, with "sent", when it sends the link
// because the program looks hung: the program's own Exit then sends none.
// Plain C++ without allocation: the guardian reads it in fixed buffers, and a
// line too long for them leaves it owing nothing rather than half a link.
class GuardianProtocol {
public:
    static constexpr std::size_t kLongestLine = 16 * 1024;
    enum class State { Disarmed, Armed, Sending, Done };
    static constexpr char kSent[] = "sent\n";

    // The line for a state; the link is that of Armed and Sending.
    static std::string message(State state, const std::string &exitLink = {});

    // Bytes as they come from the program, in pieces of any size.
    void take(const char *bytes, std::size_t count);

    State state() const { return m_state; }
    bool owesExitLink() const { return m_state == State::Armed || m_state == State::Sending; }
    // The exit link to request, NUL-terminated; valid while it is owed.
    const char *exitLink() const { return m_link; }

private:
    void lineRead();

    char m_line[kLongestLine];
    std::size_t m_length = 0;
    bool m_tooLong = false;
    char m_link[kLongestLine] = {};
    State m_state = State::Disarmed;
};
