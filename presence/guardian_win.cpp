#include "presence/guardian.h"

#include "presence/childprocess_win.h"
#include "presence/guardianprotocol.h"
#include "presence/statusrequester.h"

#include <QSocketNotifier>

#include <string>

#include <windows.h>

// The line is an anonymous pipe in no-wait mode: a word the pipe cannot take
// whole now is kept and tried again with the next one. Windows has no logout
// signals for the guardian to hear, so it never answers.

std::unique_ptr<Guardian> Guardian::start()
{
    const QString helper = executable();
    if (helper.isEmpty()) {
        qCDebug(lcStatus) << "no guardian: " TALVORIN_GUARDIAN_NAME " not found";
        return nullptr;
    }
    SECURITY_ATTRIBUTES inheritable = { sizeof inheritable, nullptr, TRUE };
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        qCDebug(lcStatus) << "no guardian: no pipe" << GetLastError();
        return nullptr;
    }
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    DWORD noWait = PIPE_NOWAIT;
    SetNamedPipeHandleState(writeEnd, &noWait, nullptr, nullptr);
    const std::wstring executable = helper.toStdWString();
    std::wstring commandLine = L"\"" + executable + L"\" "
            + std::to_wstring(reinterpret_cast<quintptr>(readEnd));

    const HANDLE process = startWithOnlyHandle(executable, commandLine, readEnd, false);
    CloseHandle(readEnd);
    if (!process) {
        qCDebug(lcStatus) << "no guardian: not started" << GetLastError();
        CloseHandle(writeEnd);
        return nullptr;
    }
    return std::unique_ptr<Guardian>(new Guardian(reinterpret_cast<qintptr>(writeEnd),
                                                  reinterpret_cast<qint64>(process)));
}

Guardian::Guardian(qintptr line, qint64 process) : m_line(line), m_process(process)
{
    s_running = this;
}

Guardian::~Guardian()
{
    s_running = nullptr;
    CloseHandle(reinterpret_cast<HANDLE>(m_line));
    CloseHandle(reinterpret_cast<HANDLE>(m_process));
}

void Guardian::flush()
{
    if (m_gone || m_unsent.empty())
        return;
    DWORD written = 0;
    if (WriteFile(reinterpret_cast<HANDLE>(m_line), m_unsent.data(), DWORD(m_unsent.size()),
                  &written, nullptr)) {
        m_midWord = written < m_unsent.size();
        m_unsent.erase(0, written); // the rest goes first next time
        return;
    }
    if (GetLastError() != ERROR_NO_DATA)
        lost();
}

void Guardian::listen()
{
}

void Guardian::lost()
{
    m_gone = true;
    qCDebug(lcStatus) << "the guardian is gone: an end without Exit goes unreported";
}

void Guardian::reap()
{
}
