#include "presence/childprocess_win.h"

HANDLE startWithOnlyHandle(const std::wstring &program, std::wstring commandLine, HANDLE handle,
                           bool asStandardInput)
{
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::string listBytes(listSize, '\0');
    auto *list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBytes.data());
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    if (asStandardInput) {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = handle;
    }
    PROCESS_INFORMATION process = {};
    // The handle list keeps every other inheritable handle (the browser's,
    // say) out of the child.
    const bool started = InitializeProcThreadAttributeList(list, 1, 0, &listSize)
            && UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle,
                                         sizeof handle, nullptr, nullptr)
            && (startup.lpAttributeList = list,
                CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                               EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup.StartupInfo, &process));
    DeleteProcThreadAttributeList(list);
    if (!started)
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}
