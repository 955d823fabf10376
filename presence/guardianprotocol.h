#pragma once

#include <cstddef>
#include <string>

// What the program tells its guardian, one line each time it changes:
// "armed LINK" (the site may show the owner online; should the program end
// now, LINK is the exit link owed) or "disarmed" (nothing is owed: the exit
// link went out, or the owner is offline, asleep or away, or there is no exit
// link). A backslash and a line break in the link are written as "\\" and
// "\n".
// The guardian reads it in a process that may not allocate (a copy of the
// program taken before it had threads), so reading keeps everything in
// fixed buffers; a line too long for them leaves the guardian disarmed rather
// than holding half a link.
class GuardianProtocol {
public:
    static constexpr std::size_t kLongestLine = 16 * 1024;

    // The line for the exit link owed now; an empty link is "disarmed".
    static std::string message(const std::string &owedExitLink);

    // Bytes as they come from the pipe, in pieces of any size.
    void take(const char *bytes, std::size_t count);

    bool isArmed() const { return m_armed; }
    // The exit link to request, NUL-terminated; valid while armed.
    const char *exitLink() const { return m_link; }

private:
    void lineRead();

    char m_line[kLongestLine];
    std::size_t m_length = 0;
    bool m_tooLong = false;
    char m_link[kLongestLine] = {};
    bool m_armed = false;
};
