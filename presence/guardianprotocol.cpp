#include "presence/guardianprotocol.h"

#include <cstring>

namespace {

struct Word {
    const char *text;
    GuardianProtocol::State state;
    bool hasLink;
};
const Word kWords[] = {
    { "armed", GuardianProtocol::State::Armed, true },
    { "sending", GuardianProtocol::State::Sending, true },
    { "done", GuardianProtocol::State::Done, false },
    { "disarmed", GuardianProtocol::State::Disarmed, false },
};

} // namespace

std::string GuardianProtocol::message(State state, const std::string &exitLink)
{
    for (const Word &word : kWords) {
        if (word.state != state)
            continue;
        std::string line = word.text;
        if (!word.hasLink)
            return line + '\n';
        line += ' ';
        for (const char c : exitLink) {
            if (c == '\\')
                line += "\\\\";
            else if (c == '\n')
                line += "\\n";
            else
                line += c;
        }
        return line + '\n';
    }
    return std::string();
}

void GuardianProtocol::take(const char *bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] == '\n') {
            lineRead();
            m_length = 0;
            m_tooLong = false;
        } else if (m_length < kLongestLine) {
            m_line[m_length++] = bytes[i];
        } else {
            m_tooLong = true;
        }
    }
}

// A line the guardian cannot hold whole is an exit link it cannot send:
// better none than part of one. A line it does not know leaves it as it was.
void GuardianProtocol::lineRead()
{
    if (m_tooLong) {
        m_state = State::Disarmed;
        return;
    }
    for (const Word &word : kWords) {
        const std::size_t length = std::strlen(word.text);
        if (m_length < length || std::memcmp(m_line, word.text, length) != 0)
            continue;
        if (!word.hasLink) {
            if (m_length != length)
                continue;
            m_state = word.state;
            return;
        }
        if (m_length <= length + 1 || m_line[length] != ' ')
            continue;
        std::size_t out = 0;
        for (std::size_t i = length + 1; i < m_length; ++i) {
            char c = m_line[i];
            if (c == '\\' && i + 1 < m_length) {
                const char escaped = m_line[++i];
                c = escaped == 'n' ? '\n' : escaped;
            }
            m_link[out++] = c;
        }
        m_link[out] = '\0'; // the link is shorter than its line
        m_state = word.state;
        return;
    }
}
