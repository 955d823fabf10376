#pragma once

#include <string>

#include <windows.h>

// Starts `program` with `commandLine` and no console window, letting it
// inherit `handle` and no other handle of this process; with
// `asStandardInput` that handle is its standard input. Plain Win32, for the
// program and its guardian alike. Returns the child's process handle, or
// null when it could not be started.
HANDLE startWithOnlyHandle(const std::wstring &program, std::wstring commandLine, HANDLE handle,
                           bool asStandardInput);
