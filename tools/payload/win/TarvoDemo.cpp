// Tarvo高效学习法, demo build for Windows: notes the time of every start in
// last-run.txt beside the program. No window, no console.
#include "ModulePath.h"

#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring self = modulePath();
    if (self.empty())
        return 1;
    const std::wstring folder = self.substr(0, self.find_last_of(L'\\'));
    const HANDLE file
            = CreateFileW((folder + L"\\last-run.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char line[32];
    const int length = wsprintfA(line, "%04u-%02u-%02u %02u:%02u:%02u\r\n", now.wYear, now.wMonth,
                                 now.wDay, now.wHour, now.wMinute, now.wSecond);
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line, DWORD(length), &written, nullptr);
    CloseHandle(file);
    return ok && written == DWORD(length) ? 0 : 1;
}
