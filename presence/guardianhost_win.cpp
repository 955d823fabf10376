#include "presence/guardianhost.h"

#include "presence/childprocess_win.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include <windows.h>

// The program starts the guardian as "talvorin-guardian.exe HANDLE", HANDLE
// being the read end of a pipe, the one handle it inherits. Windows sends no
// logout signals to a process group, so the guardian only waits for the pipe
// to break: whatever ends the program, its end of the pipe closes.

namespace {

HANDLE g_program = nullptr;

// The program's executable beside the guardian's own.
std::wstring programPath()
{
    wchar_t own[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, own, MAX_PATH * 4);
    std::wstring path(own, length);
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + L"TalvorinTool.exe";
}

} // namespace

bool GuardianHost::setUp(int argc, char **argv)
{
    if (argc != 2)
        return false;
    g_program = reinterpret_cast<HANDLE>(std::strtoull(argv[1], nullptr, 10));
    return g_program != nullptr;
}

GuardianHost::Heard GuardianHost::wait(char *bytes, std::size_t size, std::size_t *count,
                                       std::int64_t)
{
    DWORD read = 0;
    // ReadFile fails with a broken pipe once the program has ended, whatever ended it.
    if (!ReadFile(g_program, bytes, DWORD(size), &read, nullptr) || read == 0)
        return Heard::ProgramEnded;
    *count = read;
    return Heard::Words;
}

std::int64_t GuardianHost::msecsNow()
{
    return std::int64_t(GetTickCount64());
}

std::int64_t GuardianHost::wordWaitMs()
{
    return 10000;
}

void GuardianHost::tellProgram(const char *)
{
    // Never asked: without logout signals the guardian never takes the program for hung.
}

int GuardianHost::sendExitLink(const char *link)
{
    SECURITY_ATTRIBUTES inheritable = { sizeof inheritable, nullptr, TRUE };
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        return 1;
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    std::wstring program = programPath();
    std::wstring commandLine = L"\"" + program + L"\" --talvorin-send-exit-link";

    const HANDLE process = startWithOnlyHandle(program, commandLine, readEnd, true);
    CloseHandle(readEnd);
    if (!process) {
        CloseHandle(writeEnd);
        return 127;
    }
    CloseHandle(process);
    DWORD written = 0;
    // A pipe holds far more than the longest link; a sender already gone has nothing to send.
    WriteFile(writeEnd, link, DWORD(std::strlen(link)), &written, nullptr);
    CloseHandle(writeEnd);
    return 0;
}
