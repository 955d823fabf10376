#include "presence/guardian.h"

#include "presence/guardianprotocol.h"
#include "presence/statusrequester.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include <windows.h>

// The guardian is the program's own executable, started with a switch and
// the read end of an inherited pipe; it loads no more than the executable
// needs to start and makes no application object until it must send.

namespace {

const char kGuardSwitch[] = "--talvorin-guardian";

} // namespace

std::optional<int> Guardian::runIfAsked(int argc, char **argv)
{
    if (argc != 3 || std::strcmp(argv[1], kGuardSwitch) != 0)
        return std::nullopt;
    const HANDLE pipe = reinterpret_cast<HANDLE>(std::strtoull(argv[2], nullptr, 10));
    static GuardianProtocol said;
    char bytes[4096];
    DWORD count = 0;
    // ReadFile fails with a broken pipe once the program has ended, whatever ended it.
    while (ReadFile(pipe, bytes, sizeof bytes, &count, nullptr) && count > 0)
        said.take(bytes, count);
    CloseHandle(pipe);
    if (!said.isArmed())
        return 0;
    return sendExitLink(argc, argv, QString::fromUtf8(said.exitLink()));
}

std::unique_ptr<Guardian> Guardian::start(char *)
{
    SECURITY_ATTRIBUTES inheritable = { sizeof inheritable, nullptr, TRUE };
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        qCDebug(lcStatus) << "no guardian: no pipe" << GetLastError();
        return nullptr;
    }
    // Only the guardian gets the read end; the browser's processes and any
    // other child get neither.
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    wchar_t executable[MAX_PATH * 4];
    GetModuleFileNameW(nullptr, executable, DWORD(std::size(executable)));
    std::wstring commandLine = L"\"" + std::wstring(executable) + L"\" "
            + QString::fromLatin1(kGuardSwitch).toStdWString() + L" "
            + std::to_wstring(reinterpret_cast<quintptr>(readEnd));

    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::string listBytes(listSize, '\0');
    auto *list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBytes.data());
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const bool started = InitializeProcThreadAttributeList(list, 1, 0, &listSize)
            && UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &readEnd,
                                         sizeof readEnd, nullptr, nullptr)
            && (startup.lpAttributeList = list,
                CreateProcessW(executable, commandLine.data(), nullptr, nullptr, TRUE,
                               EXTENDED_STARTUPINFO_PRESENT,
                               nullptr, nullptr, &startup.StartupInfo, &process));
    if (list)
        DeleteProcThreadAttributeList(list);
    CloseHandle(readEnd);
    if (!started) {
        qCDebug(lcStatus) << "no guardian: not started" << GetLastError();
        CloseHandle(writeEnd);
        return nullptr;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return std::unique_ptr<Guardian>(new Guardian(reinterpret_cast<qintptr>(writeEnd)));
}

Guardian::~Guardian()
{
    CloseHandle(reinterpret_cast<HANDLE>(m_pipe));
}

bool Guardian::tell(const std::string &message)
{
    DWORD written = 0;
    return WriteFile(reinterpret_cast<HANDLE>(m_pipe), message.data(), DWORD(message.size()),
                     &written, nullptr)
            && written == message.size();
}
