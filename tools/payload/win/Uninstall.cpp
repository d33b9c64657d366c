// Uninstaller of the Tarvo demo, Windows build. It removes what an
// installation made and nothing else: the program folder (itself included),
// the data folder, the three all-users shortcuts (and their group folder when
// that is then empty) and the program's entry in the list of installed
// programs.
//
// A running program cannot delete its own file. So, once everything else is
// gone, it copies itself into a new folder under the temporary folder and
// starts the copy with "--finish <program folder> <process id>"; the copy
// waits for this process to end, removes the program folder and marks itself
// and its folder for deletion at the next restart (MoveFileEx), as
// installers' uninstallers do.
#include "ModulePath.h"
#include "Product.h"

#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>
#include <string>

namespace {

const wchar_t productName[] = L"Tarvo\u9ad8\u6548\u5b66\u4e60\u6cd5";
const wchar_t groupName[] = MIREVALE_WIDE(MIREVALE_FOLDER_NAME);
const wchar_t uninstallKey[] = MIREVALE_WIDE(MIREVALE_UNINSTALL_KEY "\\" MIREVALE_FOLDER_NAME);
const wchar_t shellFoldersKey[] = MIREVALE_WIDE(MIREVALE_SHELL_FOLDERS_KEY);

std::wstring folderOf(const std::wstring &path)
{
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring nameOf(const std::wstring &path)
{
    return path.substr(path.find_last_of(L'\\') + 1);
}

bool sameText(const std::wstring &a, const std::wstring &b)
{
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE)
            == CSTR_EQUAL;
}

bool isAbsolute(const std::wstring &path)
{
    return path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
}

std::wstring knownFolder(REFKNOWNFOLDERID id)
{
    PWSTR raw = nullptr;
    std::wstring path;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &raw)))
        path = raw;
    CoTaskMemFree(raw);
    return path;
}

// The shell-folders value, or the standard folder when the value is
// missing, empty or relative.
std::wstring shellFolder(const wchar_t *name, REFKNOWNFOLDERID standard)
{
    wchar_t value[4096];
    DWORD size = sizeof(value);
    std::wstring path;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, shellFoldersKey, name, RRF_RT_REG_SZ, nullptr, value,
                     &size)
        == ERROR_SUCCESS)
        path = value;
    for (wchar_t &c : path) {
        if (c == L'/')
            c = L'\\';
    }
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return isAbsolute(path) ? path : knownFolder(standard);
}

// Removes path and everything below it. A link (junction, symbolic link,
// any reparse point) is removed as an entry and never followed.
void removeTree(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW entry;
        const HANDLE find = FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &entry,
                                             FindExSearchNameMatch, nullptr, 0);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (wcscmp(entry.cFileName, L".") != 0 && wcscmp(entry.cFileName, L"..") != 0)
                    removeTree(path + L"\\" + entry.cFileName);
            } while (FindNextFileW(find, &entry));
            FindClose(find);
        }
    }
    RemoveDirectoryW(path.c_str());
}

// The target of the shortcut file, empty when it is none.
std::wstring shortcutTarget(const std::wstring &link)
{
    std::wstring target;
    IShellLinkW *shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void **>(&shellLink))))
        return target;
    IPersistFile *file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)))) {
        wchar_t path[4096];
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ))
            && shellLink->GetPath(path, 4096, nullptr, SLGP_RAWPATH) == S_OK)
            target = path;
        file->Release();
    }
    shellLink->Release();
    for (wchar_t &c : target) {
        if (c == L'/')
            c = L'\\';
    }
    return target;
}

// A shortcut goes only when it points at this installation's file.
void removeShortcut(const std::wstring &link, const std::wstring &target)
{
    if (GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    if (sameText(shortcutTarget(link), target))
        DeleteFileW(link.c_str());
}

// Starts a copy of this program from a new folder under the temporary
// folder, which finishes the removal of the program folder.
bool startFinisher(const std::wstring &self, const std::wstring &program)
{
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        return false;
    std::wstring folder;
    for (unsigned attempt = 0;; ++attempt) {
        wchar_t name[64];
        wsprintfW(name, L"Mirevale-uninstall-%lu-%u", GetCurrentProcessId(),
                  GetTickCount() + attempt);
        folder = std::wstring(temp) + name;
        // A new folder of our own: nobody else can have put a file in it.
        if (CreateDirectoryW(folder.c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS || attempt == 100)
            return false;
    }
    const std::wstring copy = folder + L"\\uninstall.exe";
    if (!CopyFileW(self.c_str(), copy.c_str(), TRUE)) {
        RemoveDirectoryW(folder.c_str());
        return false;
    }
    wchar_t pid[16];
    wsprintfW(pid, L"%lu", GetCurrentProcessId());
    std::wstring commandLine
            = L"\"" + copy + L"\" --finish \"" + program + L"\" " + std::wstring(pid);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(copy.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        DeleteFileW(copy.c_str());
        RemoveDirectoryW(folder.c_str());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

int finish(const std::wstring &program, DWORD parent)
{
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, parent);
    if (process) {
        WaitForSingleObject(process, 30000);
        CloseHandle(process);
    }
    removeTree(program);
    const std::wstring self = modulePath();
    MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExW(folderOf(self).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES ? 0 : 1;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return 2;
    if (argc == 4 && wcscmp(argv[1], L"--finish") == 0) {
        const std::wstring program = argv[2];
        const DWORD parent = wcstoul(argv[3], nullptr, 10);
        LocalFree(argv);
        // Only ever an installation's program folder.
        if (!sameText(nameOf(program), groupName) || !isAbsolute(program))
            return 1;
        return finish(program, parent);
    }
    LocalFree(argv);

    const std::wstring self = modulePath();
    const std::wstring program = folderOf(self);
    if (!sameText(nameOf(program), groupName) || !isAbsolute(program))
        return 1; // not an installation of Mirevale: nothing removed
    const std::wstring mainExe = program + L"\\" + productName + L".exe";

    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring desktop
            = shellFolder(MIREVALE_WIDE(MIREVALE_COMMON_DESKTOP), FOLDERID_PublicDesktop);
    const std::wstring programs
            = shellFolder(MIREVALE_WIDE(MIREVALE_COMMON_PROGRAMS), FOLDERID_CommonPrograms);
    const std::wstring appData
            = shellFolder(MIREVALE_WIDE(MIREVALE_COMMON_APPDATA), FOLDERID_ProgramData);
    if (!desktop.empty())
        removeShortcut(desktop + L"\\" + productName + L".lnk", mainExe);
    if (!programs.empty()) {
        const std::wstring group = programs + L"\\" + groupName;
        removeShortcut(group + L"\\" + productName + L".lnk", mainExe);
        removeShortcut(group + L"\\uninstall.lnk", program + L"\\uninstall.exe");
        RemoveDirectoryW(group.c_str()); // only when empty
    }
    if (SUCCEEDED(com))
        CoUninitialize();

    RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallKey);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, uninstallKey, KEY_WOW64_64KEY, 0);
    if (!appData.empty())
        removeTree(appData + L"\\" + groupName);

    // Everything in the program folder but this program, then the rest from
    // a copy that does not run from here.
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileExW((program + L"\\*").c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, 0);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L".." && !sameText(name, nameOf(self)))
                removeTree(program + L"\\" + name);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    return startFinisher(self, program) ? 0 : 1;
}
