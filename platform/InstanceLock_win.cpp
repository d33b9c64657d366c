// The one-installer lock on Windows: a mutex in a private namespace that
// only administrators can create or open.
#include "InstanceLock.h"

#include <windows.h>

#include <sddl.h>

#include <vector>

namespace Platform {

namespace {

// The namespace's own permissions: SYSTEM and Administrators only.
const wchar_t namespaceSddl[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

struct LocalFreeOnExit
{
    HLOCAL memory;
    ~LocalFreeOnExit() { LocalFree(memory); }
};

// Functions resolved at run time: Wine (8.0) exports them as stubs that
// abort the process when called.
template<class Function>
Function kernel32(const char *name)
{
    return reinterpret_cast<Function>(
            reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

std::vector<wchar_t> wide(const QString &text)
{
    std::vector<wchar_t> result(size_t(text.size()) + 1, L'\0');
    text.toWCharArray(result.data());
    return result;
}

struct WindowSearch
{
    std::vector<wchar_t> title;
    DWORD self;
    HWND found;
    DWORD pid;
};

BOOL CALLBACK findWindow(HWND window, LPARAM parameter)
{
    auto *search = reinterpret_cast<WindowSearch *>(parameter);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->self || !IsWindowVisible(window) || GetWindow(window, GW_OWNER))
        return TRUE;
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> text(size_t(length) + 1, L'\0');
    GetWindowTextW(window, text.data(), length + 1);
    if (text != search->title)
        return TRUE;
    search->found = window;
    search->pid = pid;
    return FALSE;
}

} // namespace

InstanceLock::InstanceLock(const QString &name)
    : m_name(name)
{ }

InstanceLock::~InstanceLock()
{
    release();
}

void InstanceLock::release()
{
    using ClosePrivateNamespaceFn = BOOLEAN(WINAPI *)(HANDLE, ULONG);
    using DeleteBoundaryDescriptorFn = VOID(WINAPI *)(HANDLE);
    if (m_mutex) {
        if (m_state == State::Held)
            ReleaseMutex(m_mutex);
        CloseHandle(m_mutex);
    }
    if (m_namespace)
        kernel32<ClosePrivateNamespaceFn>("ClosePrivateNamespace")(m_namespace, 0);
    if (m_boundary)
        kernel32<DeleteBoundaryDescriptorFn>("DeleteBoundaryDescriptor")(m_boundary);
    m_mutex = m_namespace = m_boundary = nullptr;
}

InstanceLock::State InstanceLock::tryAcquire()
{
    if (m_state == State::Held)
        return m_state;
    release();
    using CreateBoundaryDescriptorFn = HANDLE(WINAPI *)(LPCWSTR, ULONG);
    using AddSidFn = BOOL(WINAPI *)(HANDLE *, PSID);
    using CreatePrivateNamespaceFn = HANDLE(WINAPI *)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
    using OpenPrivateNamespaceFn = HANDLE(WINAPI *)(LPVOID, LPCWSTR);
    const auto createBoundary = kernel32<CreateBoundaryDescriptorFn>("CreateBoundaryDescriptorW");
    const auto addSid = kernel32<AddSidFn>("AddSIDToBoundaryDescriptor");
    const auto createNamespace = kernel32<CreatePrivateNamespaceFn>("CreatePrivateNamespaceW");
    const auto openNamespace = kernel32<OpenPrivateNamespaceFn>("OpenPrivateNamespaceW");
    if (!createBoundary || !addSid || !createNamespace || !openNamespace)
        return m_state = State::Failed;

    const std::vector<wchar_t> name = wide(m_name);
    // Wine returns no descriptor; the calls after it would abort there.
    m_boundary = createBoundary(name.data(), 0);
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof administrators;
    if (!m_boundary
        || !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize)
        || !addSid(&m_boundary, administrators)) {
        release();
        return m_state = State::Failed;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(namespaceSddl, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        release();
        return m_state = State::Failed;
    }
    const LocalFreeOnExit freeDescriptor {descriptor};
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor, FALSE};
    m_namespace = createNamespace(&security, m_boundary, name.data());
    // Another instance made it: open it (it must carry the same boundary).
    if (!m_namespace && GetLastError() == ERROR_ALREADY_EXISTS)
        m_namespace = openNamespace(m_boundary, name.data());
    if (!m_namespace) {
        release();
        return m_state = State::Failed;
    }
    const std::vector<wchar_t> mutexName = wide(m_name + QStringLiteral("\\InstanceLock"));
    m_mutex = CreateMutexW(&security, FALSE, mutexName.data());
    if (!m_mutex) {
        release();
        return m_state = State::Failed;
    }
    switch (WaitForSingleObject(m_mutex, 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: // its holder died holding it
        return m_state = State::Held;
    case WAIT_TIMEOUT:
        release();
        return m_state = State::Busy;
    default:
        release();
        return m_state = State::Failed;
    }
}

bool InstanceLock::bringToFront(const QString &windowTitle)
{
    WindowSearch search {wide(windowTitle), GetCurrentProcessId(), nullptr, 0};
    EnumWindows(findWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return false;
    AllowSetForegroundWindow(search.pid);
    if (IsIconic(search.found))
        ShowWindow(search.found, SW_RESTORE);
    return SetForegroundWindow(search.found) != 0;
}

} // namespace Platform
