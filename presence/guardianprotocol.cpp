#include "presence/guardianprotocol.h"

#include <cstring>

namespace {

const char kArmed[] = "armed ";
const char kDisarmed[] = "disarmed";

} // namespace

std::string GuardianProtocol::message(const std::string &owedExitLink)
{
    if (owedExitLink.empty())
        return std::string(kDisarmed) + '\n';
    std::string line = kArmed;
    for (const char c : owedExitLink) {
        if (c == '\\')
            line += "\\\\";
        else if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    return line + '\n';
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
    const std::size_t armedLength = sizeof kArmed - 1;
    if (m_tooLong) {
        m_armed = false;
        return;
    }
    if (m_length == sizeof kDisarmed - 1 && std::memcmp(m_line, kDisarmed, m_length) == 0) {
        m_armed = false;
        return;
    }
    if (m_length <= armedLength || std::memcmp(m_line, kArmed, armedLength) != 0)
        return;
    std::size_t out = 0;
    for (std::size_t i = armedLength; i < m_length; ++i) {
        char c = m_line[i];
        if (c == '\\' && i + 1 < m_length) {
            const char escaped = m_line[++i];
            c = escaped == 'n' ? '\n' : escaped;
        }
        m_link[out++] = c;
    }
    m_link[out] = '\0'; // the link is shorter than its line

    m_armed = true;
}
