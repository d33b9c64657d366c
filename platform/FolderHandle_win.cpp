// Folders by handle on Windows: every entry is opened with NtCreateFile
// relative to its folder's handle and with FILE_OPEN_REPARSE_POINT, so a
// junction or symbolic link is opened as itself and never followed.
#include "FolderHandle.h"

#include <QDir>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <winternl.h>

#include <vector>

#ifndef FILE_OPEN
#define FILE_OPEN 0x00000001
#endif
#ifndef FILE_CREATE
#define FILE_CREATE 0x00000002
#endif
#ifndef FILE_DIRECTORY_FILE
#define FILE_DIRECTORY_FILE 0x00000001
#endif
#ifndef FILE_SYNCHRONOUS_IO_NONALERT
#define FILE_SYNCHRONOUS_IO_NONALERT 0x00000020
#endif
#ifndef FILE_OPEN_FOR_BACKUP_INTENT
#define FILE_OPEN_FOR_BACKUP_INTENT 0x00004000
#endif
#ifndef FILE_OPEN_REPARSE_POINT
#define FILE_OPEN_REPARSE_POINT 0x00200000
#endif
#ifndef OBJ_CASE_INSENSITIVE
#define OBJ_CASE_INSENSITIVE 0x00000040
#endif
#ifndef FILE_DISPOSITION_FLAG_DELETE
#define FILE_DISPOSITION_FLAG_DELETE 0x00000001
#define FILE_DISPOSITION_FLAG_POSIX_SEMANTICS 0x00000002
#endif
#ifndef FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE
#define FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE 0x00000010
#endif

namespace Platform {

namespace {

const NTSTATUS statusObjectNameNotFound = NTSTATUS(0xC0000034L);
const NTSTATUS statusObjectPathNotFound = NTSTATUS(0xC000003AL);
const NTSTATUS statusNotADirectory = NTSTATUS(0xC0000103L);

// Full control for SYSTEM and Administrators, read and execute for Users,
// inherited by everything below; nothing inherited from above; owned by
// Administrators.
const wchar_t protectedSddl[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

using NtCreateFileFn = NTSTATUS(NTAPI *)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                         PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);

NtCreateFileFn ntCreateFile()
{
    // ntdll is in every process; nothing is loaded.
    static const auto function = reinterpret_cast<NtCreateFileFn>(reinterpret_cast<void *>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile")));
    return function;
}

// Opens `name` relative to the folder `parent`, never following a reparse
// point. Returns the status; *handle is INVALID_HANDLE_VALUE on failure.
NTSTATUS openRelative(HANDLE parent, const QString &name, ACCESS_MASK access, ULONG share,
                      ULONG disposition, ULONG options, PSECURITY_DESCRIPTOR security,
                      HANDLE *handle)
{
    *handle = INVALID_HANDLE_VALUE;
    const NtCreateFileFn create = ntCreateFile();
    if (!create || name.isEmpty() || name.size() > 32767)
        return NTSTATUS(0xC0000001L);
    std::vector<wchar_t> buffer(size_t(name.size()) + 1, L'\0');
    name.toWCharArray(buffer.data());
    UNICODE_STRING unicode;
    unicode.Buffer = buffer.data();
    unicode.Length = USHORT(name.size() * sizeof(wchar_t));
    unicode.MaximumLength = USHORT(unicode.Length + sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &unicode, OBJ_CASE_INSENSITIVE, parent, security);
    IO_STATUS_BLOCK status;
    HANDLE opened = nullptr;
    const NTSTATUS result = create(&opened, access | SYNCHRONIZE, &attributes, &status, nullptr,
                                   FILE_ATTRIBUTE_NORMAL, share, disposition,
                                   options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT
                                           | FILE_OPEN_FOR_BACKUP_INTENT,
                                   nullptr, 0);
    if (result >= 0)
        *handle = opened;
    return result;
}

bool attributesOf(HANDLE handle, DWORD *attributes)
{
    FILE_ATTRIBUTE_TAG_INFO info;
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info))
        return false;
    *attributes = info.FileAttributes;
    return true;
}

bool isRealFolder(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

FolderHandle::Kind kindOfAttributes(DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return FolderHandle::Kind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FolderHandle::Kind::Folder;
    return FolderHandle::Kind::File;
}

// Deletes what the handle is open on (opened with DELETE): POSIX semantics
// first, so that the name is gone at once and its folder can go right after;
// the classic disposition where the file system does not offer them. A
// read-only file or folder is deleted too: Windows 10 1809 and later are
// told to ignore the attribute; elsewhere (older systems, Wine, file
// systems without the extended disposition) the attribute is cleared
// through a second handle on the same file (ReOpenFile, never by name) and
// put back when the deletion still fails.
bool disposeOf(HANDLE handle)
{
    FILE_DISPOSITION_INFO_EX ex;
    ex.Flags = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS
            | FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE;
    // FileDispositionInfoEx (Windows 10 1607 and later); older headers lack the name.
    const auto dispositionEx = FILE_INFO_BY_HANDLE_CLASS(21);
    if (SetFileInformationByHandle(handle, dispositionEx, &ex, sizeof ex))
        return true;
    // Refused for what it is (not empty, no right): so it stays.
    const DWORD error = GetLastError();
    if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED
        && error != ERROR_INVALID_FUNCTION)
        return false;
    // Before 1809 the flag itself is refused: the same without it.
    ex.Flags &= ~DWORD(FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE);
    const auto dispose = [&] {
        FILE_DISPOSITION_INFO classic;
        classic.DeleteFile = TRUE;
        return SetFileInformationByHandle(handle, dispositionEx, &ex, sizeof ex)
                || SetFileInformationByHandle(handle, FileDispositionInfo, &classic,
                                              sizeof classic);
    };
    FILE_BASIC_INFO basic;
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)
        || !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return dispose();
    HANDLE writable = ReOpenFile(handle, FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
    if (writable == INVALID_HANDLE_VALUE)
        return false;
    FILE_BASIC_INFO cleared = {};
    // Zero times are left as they are; zero attributes would mean "unchanged".
    cleared.FileAttributes = basic.FileAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
    if (cleared.FileAttributes == 0)
        cleared.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    bool disposed = false;
    if (SetFileInformationByHandle(writable, FileBasicInfo, &cleared, sizeof cleared)) {
        disposed = dispose();
        if (!disposed) {
            FILE_BASIC_INFO restored = {};
            restored.FileAttributes = basic.FileAttributes;
            SetFileInformationByHandle(writable, FileBasicInfo, &restored, sizeof restored);
        }
    }
    CloseHandle(writable);
    return disposed;
}

// The access and sharing of a folder handle of a walk: listing, reading its
// security, changing it, and removing the folder once it is empty.
const ACCESS_MASK folderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES
        | READ_CONTROL | WRITE_DAC | WRITE_OWNER | DELETE;
const ULONG shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The access and sharing of a held folder: all of the above but deletion,
// and others may read and write but not delete (nor rename) it.
const ACCESS_MASK holdAccess = folderAccess & ~ACCESS_MASK(DELETE);
const ULONG shareHeld = FILE_SHARE_READ | FILE_SHARE_WRITE;

struct LocalFreeOnExit
{
    HLOCAL memory;
    ~LocalFreeOnExit() { LocalFree(memory); }
};

bool sameFile(const BY_HANDLE_FILE_INFORMATION &a, const BY_HANDLE_FILE_INFORMATION &b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh
            && a.nFileIndexLow == b.nFileIndexLow;
}

// The privileges that let an elevated administrator open any folder with
// backup intent, whatever its permissions say, and make it its own: to take
// ownership, to back up (read access), to restore (write access, any
// owner). The administrator's token holds them disabled. They are enabled
// only for as long as this object lives, and only for the calling thread:
// on a copy of the process's token that the thread impersonates, not on the
// process's token itself, so that neither the window's thread nor a process
// started meanwhile (a child gets the process's token, 7-Zip among them)
// ever has them enabled. Without them (not elevated, or not all granted)
// nothing is impersonated and the opening goes on without.
class TakeOverPrivileges
{
public:
    TakeOverPrivileges()
    {
        HANDLE process = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process))
            return;
        HANDLE token = nullptr;
        const BOOL duplicated = DuplicateTokenEx(
                process, TOKEN_ADJUST_PRIVILEGES | TOKEN_IMPERSONATE | TOKEN_QUERY, nullptr,
                SecurityImpersonation, TokenImpersonation, &token);
        CloseHandle(process);
        if (!duplicated)
            return;
        // TOKEN_PRIVILEGES with room for three.
        struct
        {
            DWORD PrivilegeCount;
            LUID_AND_ATTRIBUTES Privileges[3];
        } wanted;
        const wchar_t *const names[]
                = {L"SeTakeOwnershipPrivilege", L"SeBackupPrivilege", L"SeRestorePrivilege"};
        wanted.PrivilegeCount = 3;
        bool known = true;
        for (int i = 0; i < 3; ++i) {
            known = known && LookupPrivilegeValueW(nullptr, names[i], &wanted.Privileges[i].Luid);
            wanted.Privileges[i].Attributes = SE_PRIVILEGE_ENABLED;
        }
        // AdjustTokenPrivileges succeeds with ERROR_NOT_ALL_ASSIGNED when
        // the token lacks one of them.
        if (!known
            || !AdjustTokenPrivileges(token, FALSE, reinterpret_cast<PTOKEN_PRIVILEGES>(&wanted), 0,
                                      nullptr, nullptr)
            || GetLastError() != ERROR_SUCCESS || !SetThreadToken(nullptr, token)) {
            CloseHandle(token);
            return;
        }
        m_token = token;
    }
    ~TakeOverPrivileges()
    {
        if (m_token) {
            SetThreadToken(nullptr, nullptr); // back to the process's token
            CloseHandle(m_token);
        }
    }
    TakeOverPrivileges(const TakeOverPrivileges &) = delete;
    TakeOverPrivileges &operator=(const TakeOverPrivileges &) = delete;

private:
    HANDLE m_token = nullptr;
};

} // namespace

FolderHandle::FolderHandle(void *handle)
    : m_handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle)
{ }

FolderHandle::~FolderHandle()
{
    if (m_handle)
        CloseHandle(m_handle);
}

FolderHandle::FolderHandle(FolderHandle &&other) noexcept
    : m_handle(other.m_handle)
{
    other.m_handle = nullptr;
}

FolderHandle &FolderHandle::operator=(FolderHandle &&other) noexcept
{
    if (this != &other) {
        if (m_handle)
            CloseHandle(m_handle);
        m_handle = other.m_handle;
        other.m_handle = nullptr;
    }
    return *this;
}

FolderHandle FolderHandle::open(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    HANDLE handle
            = CreateFileW(reinterpret_cast<LPCWSTR>(native.utf16()),
                          FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL,
                          shareAll, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FolderHandle();
    DWORD attributes = 0;
    if (!attributesOf(handle, &attributes) || !isRealFolder(attributes)) {
        CloseHandle(handle);
        return FolderHandle();
    }
    return FolderHandle(handle);
}

bool FolderHandle::isValid() const
{
    return m_handle != nullptr;
}

FolderHandle FolderHandle::child(const QString &name, Opened *how) const
{
    Opened result = Opened::Failed;
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (m_handle) {
        NTSTATUS status = openRelative(m_handle, name, folderAccess, shareAll, FILE_OPEN, 0,
                                       nullptr, &handle);
        // Without the right to delete or re-secure it, the folder can still
        // be searched for links.
        if (status < 0 && status != statusObjectNameNotFound && status != statusObjectPathNotFound)
            status = openRelative(m_handle, name,
                                  FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES
                                          | READ_CONTROL,
                                  shareAll, FILE_OPEN, 0, nullptr, &handle);
        if (status == statusObjectNameNotFound || status == statusObjectPathNotFound)
            result = Opened::Missing;
        else if (status == statusNotADirectory)
            result = Opened::NotAFolder;
    }
    if (handle != INVALID_HANDLE_VALUE) {
        DWORD attributes = 0;
        if (attributesOf(handle, &attributes) && isRealFolder(attributes)) {
            if (how)
                *how = Opened::Folder;
            return FolderHandle(handle);
        }
        CloseHandle(handle);
        result = Opened::NotAFolder;
    }
    if (how)
        *how = result;
    return FolderHandle();
}

bool FolderHandle::list(QVector<Entry> *entries) const
{
    entries->clear();
    if (!m_handle)
        return false;
    std::vector<unsigned char> buffer(64 * 1024);
    FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(m_handle, kind, buffer.data(), DWORD(buffer.size())))
            return GetLastError() == ERROR_NO_MORE_FILES;
        kind = FileIdBothDirectoryInfo;
        size_t offset = 0;
        for (;;) {
            const auto *info
                    = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO *>(buffer.data() + offset);
            const QString name = QString::fromWCharArray(info->FileName,
                                                         int(info->FileNameLength / sizeof(WCHAR)));
            if (name != QLatin1String(".") && name != QLatin1String("..")) {
                Entry entry;
                entry.name = name;
                entry.kind = kindOfAttributes(info->FileAttributes);
                entry.hidden
                        = info->FileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
                entries->append(entry);
            }
            if (info->NextEntryOffset == 0)
                break;
            offset += info->NextEntryOffset;
        }
    }
}

FolderHandle::Kind FolderHandle::kindOf(const QString &name) const
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    const NTSTATUS status = openRelative(m_handle, name, FILE_READ_ATTRIBUTES, shareAll, FILE_OPEN,
                                         0, nullptr, &handle);
    if (status == statusObjectNameNotFound || status == statusObjectPathNotFound)
        return Kind::Gone;
    if (handle == INVALID_HANDLE_VALUE)
        return Kind::Other;
    DWORD attributes = 0;
    const bool known = attributesOf(handle, &attributes);
    CloseHandle(handle);
    return known ? kindOfAttributes(attributes) : Kind::Other;
}

bool FolderHandle::remove(const QString &name) const
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (!m_handle
        || openRelative(m_handle, name, DELETE | FILE_READ_ATTRIBUTES, shareAll, FILE_OPEN, 0,
                        nullptr, &handle)
                < 0)
        return false;
    // A real folder is never removed here: it may have replaced the file or
    // link that was listed.
    DWORD attributes = 0;
    const bool removable
            = attributesOf(handle, &attributes) && !isRealFolder(attributes) && disposeOf(handle);
    CloseHandle(handle);
    return removable;
}

bool FolderHandle::removeFolder(const QString &name, const FolderHandle &folder) const
{
    // Through the folder's own handle: whatever the name means by now, the
    // folder that was emptied is the one removed.
    Q_UNUSED(name);
    return m_handle && folder.m_handle && disposeOf(folder.m_handle);
}

FolderHandle FolderHandle::createProtected(const QString &name) const
{
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!m_handle
        || !ConvertStringSecurityDescriptorToSecurityDescriptorW(protectedSddl, SDDL_REVISION_1,
                                                                 &security, nullptr))
        return FolderHandle();
    const LocalFreeOnExit release {security};
    HANDLE handle = INVALID_HANDLE_VALUE;
    // Created with its permissions in one step: there is no moment in which
    // the folder exists with the ones it would inherit. Held from the start.
    if (openRelative(m_handle, name, holdAccess, shareHeld, FILE_CREATE, FILE_DIRECTORY_FILE,
                     security, &handle)
        < 0)
        return FolderHandle();
    return FolderHandle(handle);
}

FolderHandle FolderHandle::hold(const QString &name, FolderHandle &folder) const
{
    BY_HANDLE_FILE_INFORMATION before;
    if (!m_handle || !folder.m_handle || !GetFileInformationByHandle(folder.m_handle, &before))
        return FolderHandle();
    // The open handle may delete and would refuse the new one, which does
    // not share deletion: it is closed first. The identity check below
    // catches a folder swapped in meanwhile.
    folder = FolderHandle();
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (openRelative(m_handle, name, holdAccess, shareHeld, FILE_OPEN, FILE_DIRECTORY_FILE, nullptr,
                     &handle)
        >= 0) {
        FolderHandle held(handle);
        BY_HANDLE_FILE_INFORMATION after;
        DWORD attributes = 0;
        if (GetFileInformationByHandle(handle, &after) && attributesOf(handle, &attributes)
            && isRealFolder(attributes) && sameFile(before, after))
            return held;
    }
    // Not held: the folder is given back if it is still there.
    FolderHandle again = child(name);
    BY_HANDLE_FILE_INFORMATION now;
    if (again.isValid() && GetFileInformationByHandle(again.m_handle, &now)
        && sameFile(before, now))
        folder = std::move(again);
    return FolderHandle();
}

FolderHandle FolderHandle::takeOver(const QString &name, Opened *how) const
{
    Opened result = Opened::Failed;
    if (m_handle) {
        const TakeOverPrivileges privileges;
        HANDLE handle = INVALID_HANDLE_VALUE;
        // With backup intent (openRelative always asks for it) the enabled
        // privileges grant every right of a walk, whatever the DACL says.
        const NTSTATUS status = openRelative(m_handle, name, folderAccess, shareAll, FILE_OPEN, 0,
                                             nullptr, &handle);
        if (status == statusObjectNameNotFound || status == statusObjectPathNotFound)
            result = Opened::Missing;
        else if (status == statusNotADirectory)
            result = Opened::NotAFolder;
        if (handle != INVALID_HANDLE_VALUE) {
            FolderHandle folder(handle);
            DWORD attributes = 0;
            if (!attributesOf(handle, &attributes) || !isRealFolder(attributes)) {
                result = Opened::NotAFolder;
            } else if (folder.protect()) {
                if (how)
                    *how = Opened::Folder;
                return folder;
            }
        }
    }
    if (how)
        *how = result;
    return FolderHandle();
}

bool FolderHandle::protect() const
{
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!m_handle
        || !ConvertStringSecurityDescriptorToSecurityDescriptorW(protectedSddl, SDDL_REVISION_1,
                                                                 &security, nullptr))
        return false;
    const LocalFreeOnExit release {security};
    // SetKernelObjectSecurity sets this folder's descriptor only: nothing
    // below it is walked (the content may still be a stranger's, with
    // junctions in it).
    return SetKernelObjectSecurity(m_handle,
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION
                                           | PROTECTED_DACL_SECURITY_INFORMATION,
                                   security)
            != 0;
}

bool FolderHandle::trustedOwner() const
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!m_handle
        || GetSecurityInfo(m_handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                           nullptr, nullptr, &security)
                != ERROR_SUCCESS)
        return false;
    const LocalFreeOnExit release {security};
    return IsWellKnownSid(owner, WinLocalSystemSid)
            || IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
}

bool FolderHandle::restoreInherited(const FolderHandle &parent) const
{
    if (!m_handle || !parent.m_handle)
        return false;
    // An empty, unprotected DACL: the folder has nothing of its own and
    // takes what its parent passes on; the system propagates that to what
    // was unpacked below it.
    ACL empty;
    if (!InitializeAcl(&empty, sizeof empty, ACL_REVISION))
        return false;
    return SetSecurityInfo(m_handle, SE_FILE_OBJECT,
                           DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                           nullptr, nullptr, &empty, nullptr)
            == ERROR_SUCCESS;
}

QString securityDescriptor(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    HANDLE handle = CreateFileW(reinterpret_cast<LPCWSTR>(native.utf16()), READ_CONTROL,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return QString();
    PSECURITY_DESCRIPTOR security = nullptr;
    const DWORD read = GetSecurityInfo(handle, SE_FILE_OBJECT,
                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       nullptr, nullptr, nullptr, nullptr, &security);
    CloseHandle(handle);
    if (read != ERROR_SUCCESS)
        return QString();
    const LocalFreeOnExit release {security};
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
                security, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                &text, nullptr))
        return QString();
    const QString result = QString::fromWCharArray(text);
    LocalFree(text);
    return result;
}

} // namespace Platform
