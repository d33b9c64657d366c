// The platform layer on Windows: every call goes to the real service.
#include "Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <windows.h>

#include <exdisp.h>
#include <knownfolders.h>
#include <oleauto.h>
#include <restartmanager.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <vector>

namespace Platform {

bool restrictDllSearch()
{
    // Windows 7 has SetDefaultDllDirectories only with update KB2533623: an
    // import of it would keep the installer from loading there at all, so it
    // is looked up in kernel32 (loaded in every process). Without it there
    // is no way to keep the program's own folder out of the search (
    // SetDllDirectoryW only takes the working folder out), and every DLL
    // loaded later, the delay-loaded ones, could come from the Downloads
    // folder: the caller refuses to go on.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI *)(DWORD);
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void *>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    return setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

namespace {

// A path for the file functions: native separators, and for a full path the
// extended-length form ("\\?\C:\..." or "\\?\UNC\server\share\..."), so
// that no MAX_PATH limit applies. The extended form turns off Windows' own
// normalisation, so GetFullPathNameW does it first (".", "..", trailing dots
// and spaces, "/"). A relative path is left to Windows as it is.
std::wstring win32Path(const QString &path)
{
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    const bool drive = native.size() >= 3 && native[1] == L':' && native[2] == L'\\';
    const bool unc = native.size() > 2 && native[0] == L'\\' && native[1] == L'\\';
    if (!drive && !unc)
        return native;
    if (native.compare(0, 4, L"\\\\?\\") == 0 || native.compare(0, 4, L"\\\\.\\") == 0)
        return native;
    const DWORD size = GetFullPathNameW(native.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return native;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(native.c_str(), size, &full[0], nullptr));
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC" + full.substr(1);
    return L"\\\\?\\" + full;
}

// Releases a COM interface when it goes out of scope.
template<class T>
class ComRef
{
public:
    ComRef() = default;
    ComRef(const ComRef &) = delete;
    ComRef &operator=(const ComRef &) = delete;
    ~ComRef()
    {
        if (m_p)
            m_p->Release();
    }
    T *get() const { return m_p; }
    T *operator->() const { return m_p; }
    void **out() { return reinterpret_cast<void **>(&m_p); }

private:
    T *m_p = nullptr;
};

// Asks the desktop shell (Explorer, running as the signed-in user) to open
// the file: IShellWindows finds the desktop window, whose browser's active
// view hands out the shell's automation object, and its ShellExecute runs
// in Explorer's process. False when any step fails, for example when no
// Explorer runs as the desktop shell.
bool openThroughDesktopShell(const std::wstring &file, const std::wstring &folder)
{
    ComRef<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                                windows.out())))
        return false;
    VARIANT location;
    VariantInit(&location);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT empty;
    VariantInit(&empty);
    long window = 0;
    ComRef<IDispatch> desktop;
    // S_FALSE and no object when there is no desktop window.
    if (windows->FindWindowSW(&location, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              reinterpret_cast<IDispatch **>(desktop.out()))
                != S_OK
        || !desktop.get())
        return false;
    ComRef<IServiceProvider> provider;
    ComRef<IShellBrowser> browser;
    ComRef<IShellView> view;
    ComRef<IDispatch> background;
    ComRef<IShellFolderViewDual> folderView;
    ComRef<IDispatch> application;
    ComRef<IShellDispatch2> shell;
    if (FAILED(desktop->QueryInterface(IID_IServiceProvider, provider.out()))
        || FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.out()))
        || FAILED(browser->QueryActiveShellView(reinterpret_cast<IShellView **>(view.out())))
        || FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.out()))
        || FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.out()))
        || FAILED(folderView->get_Application(reinterpret_cast<IDispatch **>(application.out())))
        || !application.get()
        || FAILED(application->QueryInterface(IID_IShellDispatch2, shell.out())))
        return false;

    BSTR name = SysAllocStringLen(file.data(), UINT(file.size()));
    VARIANT arguments, directory, verb, show;
    VariantInit(&arguments);
    VariantInit(&directory);
    VariantInit(&verb);
    VariantInit(&show);
    arguments.vt = VT_BSTR;
    arguments.bstrVal = SysAllocString(L"");
    directory.vt = VT_BSTR;
    directory.bstrVal = SysAllocStringLen(folder.data(), UINT(folder.size()));
    verb.vt = VT_BSTR;
    verb.bstrVal = SysAllocString(L"open");
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    const bool ok = name && arguments.bstrVal && directory.bstrVal && verb.bstrVal
            && SUCCEEDED(shell->ShellExecute(name, arguments, directory, verb, show));
    SysFreeString(name);
    VariantClear(&arguments);
    VariantClear(&directory);
    VariantClear(&verb);
    return ok;
}

// A zero-terminated copy, as long as the text needs.
std::vector<wchar_t> wideText(const QString &text)
{
    std::vector<wchar_t> wide(size_t(text.size()) + 1, L'\0');
    text.toWCharArray(wide.data());
    return wide;
}

// The folder a program opened through the shell starts in: its own.
QString programFolder(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(QDir::fromNativeSeparators(path)).absolutePath());
}

bool shellExecute(const QString &path)
{
    const std::vector<wchar_t> file = wideText(QDir::toNativeSeparators(path));
    const std::vector<wchar_t> folder = wideText(programFolder(path));
    // Above 32 on success (an HINSTANCE for old programs' sake).
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", file.data(), nullptr,
                                                   folder.data(), SW_SHOWNORMAL))
            > 32;
}

// Opens path for its attributes and identity only, links not followed.
HANDLE openEntry(const QString &path)
{
    return CreateFileW(win32Path(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

} // namespace

// From the system itself: %SystemDrive%, which QDir::rootPath() reads, is
// the caller's to change.
QString systemRoot()
{
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH + 1);
    if (length < 2 || length > MAX_PATH || folder[1] != L':')
        return QString();
    return QString(QChar(folder[0]).toUpper()) + QStringLiteral(":/");
}

std::unique_ptr<QSettings> openRegistryKey(const QString &keyPath)
{
    return std::make_unique<QSettings>(keyPath, QSettings::NativeFormat);
}

QString standardFolder(StandardFolder folder)
{
    const KNOWNFOLDERID *id = &FOLDERID_CommonPrograms;
    switch (folder) {
    case StandardFolder::CommonAppData:
        id = &FOLDERID_ProgramData;
        break;
    case StandardFolder::CommonDesktop:
        id = &FOLDERID_PublicDesktop;
        break;
    case StandardFolder::CommonPrograms:
        break;
    }
    PWSTR path = nullptr;
    QString result;
    if (SUCCEEDED(SHGetKnownFolderPath(*id, 0, nullptr, &path)))
        result = QDir::fromNativeSeparators(QString::fromWCharArray(path));
    CoTaskMemFree(path);
    while (result.endsWith(QLatin1Char('/')) && result.size() > 3)
        result.chop(1);
    return result;
}

bool createDirectory(const QString &path)
{
    return CreateDirectoryW(win32Path(path).c_str(), nullptr) != 0;
}

static bool openWithShell(const QString &path, ShellOpenAs as)
{
    // The desktop shell would take a missing file's request all the same.
    if (GetFileAttributesW(win32Path(path).c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    if (as == ShellOpenAs::SignedInUser) {
        // The desktop shell runs as the signed-in user; what it starts does
        // not inherit our elevation. Without a desktop shell (no Explorer,
        // or another shell) the program is started as below, with the
        // installer's rights: there is no other user process to ask.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        const QString nativePath = QDir::toNativeSeparators(path);
        const bool opened = openThroughDesktopShell(nativePath.toStdWString(),
                                                    programFolder(path).toStdWString());
        if (SUCCEEDED(com))
            CoUninitialize();
        if (opened)
            return true;
    }
    return shellExecute(path);
}

qint64 freeSpace(const QString &path)
{
    if (path.isEmpty())
        return -1;
    QString existing = QDir::cleanPath(QDir::fromNativeSeparators(path));
    while (!QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).path();
        if (parent == existing)
            return -1;
        existing = parent;
    }
    // A folder's path, in its usual form (the extended one is not
    // documented here); for a UNC root it must end with a backslash.
    if (!QFileInfo(existing).isDir())
        existing = QFileInfo(existing).path();
    std::wstring folder = QDir::toNativeSeparators(existing).toStdWString();
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr))
        return -1;
    return qint64(available.QuadPart);
}

bool sameVolume(const QString &path, const QString &other)
{
    HANDLE first = openEntry(path);
    if (first == INVALID_HANDLE_VALUE)
        return false;
    HANDLE second = openEntry(other);
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    const bool same = second != INVALID_HANDLE_VALUE && GetFileInformationByHandle(first, &a)
            && GetFileInformationByHandle(second, &b)
            && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber;
    CloseHandle(first);
    if (second != INVALID_HANDLE_VALUE)
        CloseHandle(second);
    return same;
}

RenameResult renameFolder(const QString &from, const QString &to)
{
    const std::wstring source = win32Path(from);
    const DWORD attributes = GetFileAttributesW(source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return RenameResult::Failed;
    // No MOVEFILE_COPY_ALLOWED: another volume fails (ERROR_NOT_SAME_DEVICE).
    if (MoveFileExW(source.c_str(), win32Path(to).c_str(), 0))
        return RenameResult::Renamed;
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return RenameResult::InUse;
    if (error != ERROR_ACCESS_DENIED)
        return RenameResult::Failed;
    // Access denied is also what a file open below the folder earns. When
    // the folder itself may be opened for deletion, that was the reason.
    HANDLE folder = CreateFileW(
            source.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? RenameResult::InUse
                                                         : RenameResult::Failed;
    CloseHandle(folder);
    return RenameResult::InUse;
}

QStringList programsUsing(const QString &path)
{
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (RmStartSession(&session, 0, key) != ERROR_SUCCESS)
        return {};
    // The Restart Manager takes full paths in their usual form.
    const std::vector<wchar_t> file = wideText(QDir::toNativeSeparators(
            QFileInfo(QDir::fromNativeSeparators(path)).absoluteFilePath()));
    LPCWSTR files[] = {file.data()};
    QStringList names;
    if (RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
        std::vector<RM_PROCESS_INFO> processes;
        UINT needed = 0;
        UINT count = 0;
        DWORD reasons = 0;
        DWORD result = ERROR_MORE_DATA;
        // The list may grow between the calls.
        for (int attempt = 0; attempt < 5 && result == ERROR_MORE_DATA; ++attempt) {
            processes.resize(needed);
            count = needed;
            result = RmGetList(session, &needed, &count, processes.data(), &reasons);
        }
        if (result == ERROR_SUCCESS) {
            for (UINT i = 0; i < count && i < processes.size(); ++i) {
                QString name = QString::fromWCharArray(processes[i].strAppName);
                if (name.isEmpty()) {
                    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                                 processes[i].Process.dwProcessId);
                    if (process) {
                        std::vector<wchar_t> image(32768);
                        DWORD size = DWORD(image.size());
                        if (QueryFullProcessImageNameW(process, 0, image.data(), &size))
                            name = QFileInfo(QDir::fromNativeSeparators(QString::fromWCharArray(
                                                     image.data(), int(size))))
                                           .fileName();
                        CloseHandle(process);
                    }
                }
                if (!name.isEmpty())
                    names << name;
            }
        }
    }
    RmEndSession(session);
    return names;
}

QString temporaryFolder()
{
    using GetTempPath2 = DWORD(WINAPI *)(DWORD, LPWSTR);
    // Windows 11 and the latest Windows 10 updates; kernel32 is loaded.
    const auto tempPath2 = reinterpret_cast<GetTempPath2>(reinterpret_cast<void *>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W")));
    wchar_t folder[MAX_PATH + 2] = {};
    const DWORD length
            = tempPath2 ? tempPath2(MAX_PATH + 1, folder) : GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH + 1)
        return QString();
    QString result = QDir::fromNativeSeparators(QString::fromWCharArray(folder, int(length)));
    while (result.endsWith(QLatin1Char('/')) && result.size() > 3)
        result.chop(1);
    return result;
}

bool shellOpen(const QString &path)
{
    return openWithShell(path, ShellOpenAs::Installer);
}

bool shellOpenAsUser(const QString &path)
{
    return openWithShell(path, ShellOpenAs::SignedInUser);
}

bool createLink(const QString &target, const QString &linkPath)
{
    // QFile::link would overwrite a shortcut file that is there already.
    if (QFileInfo::exists(linkPath))
        return false;
    return QFile::link(target, linkPath);
}

// Decided by the reparse-point attribute alone: Qt 5 on Windows also calls a
// shortcut (.lnk) file a symbolic link, and a shortcut in an old
// installation is a file like any other.
bool isLink(const QFileInfo &info)
{
    const DWORD attributes = GetFileAttributesW(win32Path(info.absoluteFilePath()).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace Platform
