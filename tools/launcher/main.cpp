// 7z.exe: the extractor front end that ships beside the installer. It reads
// 7-Zip's command line, legacy combined switches included, and runs the real
// 7-Zip with separate switches, telling it that the archive is a 7z archive. On POSIX it replaces
// itself with 7-Zip; on Windows it runs 7-Zip inside a job object that dies with the front end.
// Nothing ever goes through a shell.

#include "ArgRewrite.h"

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#else
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <csignal>
#include <sys/prctl.h>
#endif
#endif

namespace {

const char *const kUsage = "usage: 7z.exe <command> [<switches>...] <archive> [<names>...]\n"
                           "Accepts 7-Zip's command line, including the legacy -yo<folder>,\n"
#if defined(_WIN32) && !defined(MIREVALE_LAUNCHER_TEST_BUILD)
                           "and runs the 7-Zip beside it (7za.exe).\n";
#else
                           "and runs the real 7-Zip (set MIREVALE_7ZIP to choose one).\n";
#endif

#if !defined(_WIN32) || defined(MIREVALE_LAUNCHER_TEST_BUILD)
// Set while the front end hands over to 7-Zip: if it ever finds itself
// started again below that, it has found itself instead of 7-Zip.
const char *const kGuardVariable = "MIREVALE_7ZIP_FRONT_END";
#endif

int commandLineError(const std::string &message)
{
    std::fprintf(stderr, "7z.exe: command line error: %s\n%s", message.c_str(), kUsage);
    return launcher::ExitCommandLineError;
}

int fatalError(const std::string &message)
{
    std::fprintf(stderr, "7z.exe: %s\n", message.c_str());
    return launcher::ExitFatalError;
}

#ifndef _WIN32

std::string realPath(const std::string &path)
{
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return std::string();
    std::string result(resolved);
    std::free(resolved);
    return result;
}

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool isExecutableFile(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)
            && ::access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> pathFolders()
{
    std::vector<std::string> folders;
    const char *path = std::getenv("PATH");
    std::string rest = path ? path : "";
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t colon = rest.find(':', start);
        if (colon == std::string::npos)
            colon = rest.size();
        // An empty entry would mean the working folder: never searched.
        if (colon > start)
            folders.push_back(rest.substr(start, colon - start));
        start = colon + 1;
    }
    return folders;
}

// A candidate that is an executable file and not this program.
bool usable(const std::string &candidate, const std::string &self)
{
    return isExecutableFile(candidate) && (self.empty() || realPath(candidate) != self);
}

// The real 7-Zip: $MIREVALE_7ZIP, or 7zz, 7z or 7za on PATH, never from this
// program's own folder. Empty when there is none.
std::string findSevenZip(const std::string &self, std::string &error)
{
    const std::string selfFolder = folderOf(self);
    const char *chosen = std::getenv("MIREVALE_7ZIP");
    std::vector<std::string> names {"7zz", "7z", "7za"};
    if (chosen && *chosen) {
        const std::string name(chosen);
        if (name.find('/') != std::string::npos) {
            if (usable(name, self))
                return name;
            error = "MIREVALE_7ZIP (" + name + ") is not an executable 7-Zip";
            return std::string();
        }
        names = {name};
    }
    for (const std::string &name : names) {
        for (const std::string &folder : pathFolders()) {
            if (!selfFolder.empty() && realPath(folder) == selfFolder)
                continue;
            const std::string candidate = folder + "/" + name;
            if (usable(candidate, self))
                return candidate;
        }
    }
    error = chosen && *chosen ? "MIREVALE_7ZIP (" + std::string(chosen) + ") is not on PATH"
                              : "no 7-Zip found on PATH (7zz, 7z or 7za); install 7-Zip or set "
                                "MIREVALE_7ZIP";
    return std::string();
}

int run(int argc, char **argv)
{
    if (const char *guard = std::getenv(kGuardVariable); guard && *guard)
        return fatalError("started by itself instead of 7-Zip; set MIREVALE_7ZIP");

    const launcher::RewriteResult rewritten
            = launcher::rewriteArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!rewritten.ok)
        return commandLineError(rewritten.error);

    std::string self = realPath("/proc/self/exe");
    if (self.empty() && argc > 0 && std::strchr(argv[0], '/'))
        self = realPath(argv[0]);
    std::string error;
    const std::string sevenZip = findSevenZip(self, error);
    if (sevenZip.empty())
        return fatalError(error);

    std::vector<char *> args;
    args.push_back(const_cast<char *>(sevenZip.c_str()));
    for (const std::string &arg : rewritten.args)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
#ifdef __linux__
    // 7-Zip must not outlive the program that started it, even one killed
    // from outside: the kernel kills it when its parent ends. A parent gone
    // already has been replaced by the time getppid() is asked again.
    // The installer names itself in MIREVALE_INSTALLER_PID, so that a parent
    // that died before this point is noticed too.
    pid_t parent = ::getppid();
    if (const char *named = ::getenv("MIREVALE_INSTALLER_PID"))
        parent = pid_t(std::atol(named));
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
        return fatalError("the program that started the extractor has ended");
#endif
    ::setenv(kGuardVariable, "1", 1);
    ::execv(sevenZip.c_str(), args.data());
    return fatalError("cannot run " + sevenZip + ": " + std::strerror(errno));
}

#else // _WIN32

// The front end runs elevated, beside an installer that may lie in a folder
// a standard user owns: it takes 7-Zip from its own folder only and reads no
// environment variable, since the environment and PATH belong to whoever
// started the installer. Only the test build (CMake option
// MIREVALE_LAUNCHER_TEST_BUILD, never shipped) takes %MIREVALE_7ZIP% first.

bool toUtf8(const std::wstring &text, std::string &utf8)
{
    return launcher::utf16ToUtf8(std::u16string(text.begin(), text.end()), utf8);
}

bool toWide(const std::string &text, std::wstring &wide)
{
    wide.clear();
    if (text.empty())
        return true;
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                         int(text.size()), nullptr, 0);
    if (size <= 0)
        return false;
    wide.assign(std::size_t(size), L'\0');
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()),
                               &wide[0], size)
            == size;
}

// A path for the file functions: full, and in the extended-length form, so
// that no length limit applies.
std::wstring win32Path(const std::wstring &path)
{
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), size, &full[0], nullptr));
    return launcher::extendedLengthPath(full);
}

// This program's full path, however long; empty when Windows cannot say.
std::wstring ownPath()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], DWORD(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size()) {
            buffer.resize(length);
            return win32Path(buffer);
        }
        if (buffer.size() > 65536)
            return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring folderOf(const std::wstring &path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool isFile(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// True when both paths name the same file: the same path, or the same file
// on the same volume (a hard link).
bool sameFile(const std::wstring &a, const std::wstring &b)
{
    if (CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL)
        return true;
    BY_HANDLE_FILE_INFORMATION info[2] = {};
    const std::wstring *paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        HANDLE file = CreateFileW(paths[i]->c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        const BOOL ok = GetFileInformationByHandle(file, &info[i]);
        CloseHandle(file);
        if (!ok)
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber
            && info[0].nFileIndexHigh == info[1].nFileIndexHigh
            && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

// The folder 7-Zip works in: the folder of the 7-Zip it runs (the
// installer's own), never the working folder this program inherited, which
// whoever started the installer chose. Without the extended-length prefix
// when the folder is short enough for a working folder (before Windows 10
// with long paths, a working folder is limited to MAX_PATH and takes no
// prefix); a folder too long for that gives the system folder, which is
// fixed and which no standard user may write.
std::wstring workingFolderFor(const std::wstring &program)
{
    std::wstring folder = folderOf(program);
    if (folder.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        folder = L"\\" + folder.substr(7);
    else if (folder.compare(0, 4, L"\\\\?\\") == 0)
        folder = folder.substr(4);
    if (!folder.empty() && folder.back() == L':')
        folder += L'\\'; // a drive's root, not the drive's current folder
    if (!folder.empty() && folder.size() <= MAX_PATH - 2)
        return folder;
    std::wstring system(MAX_PATH, L'\0');
    const UINT length = GetSystemDirectoryW(&system[0], UINT(system.size()));
    if (length == 0 || length >= system.size())
        return std::wstring();
    system.resize(length);
    return system;
}

// True when `process`, a child of this program that could not be put in a
// job of its own, is in the job this program runs in and that job ends it:
// it kills everything in it when its last handle closes and lets nothing
// break away. Before Windows 8 a process belongs to one job at most, and a
// child is created in its parent's job: 7-Zip, started by a front end that
// the installer put in its job, cannot join a second one
// (AssignProcessToJobObject fails with ERROR_ACCESS_DENIED), and the
// installer's job, which ends the whole extraction with the installer,
// does what the front end's own would have done.
bool inJobThatEndsIt(HANDLE process)
{
    BOOL inJob = FALSE;
    if (!IsProcessInJob(process, nullptr, &inJob) || !inJob)
        return false;
    // The job of this process (a null handle): the one the child inherited.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits,
                                   sizeof(limits), nullptr))
        return false;
    const DWORD flags = limits.BasicLimitInformation.LimitFlags;
    return (flags & JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE)
            && !(flags & (JOB_OBJECT_LIMIT_BREAKAWAY_OK | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK));
}

#ifdef MIREVALE_LAUNCHER_TEST_BUILD
std::wstring environment(const wchar_t *name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, &value[0], size));
    return value;
}
#endif

// The real 7-Zip, by full path, from this program's own folder: 7za.exe,
// the stand-alone console 7-Zip, which loads no 7-Zip plugin (7z.dll or a
// codec); never this program itself. The installer checks 7za.exe against
// its seal and holds it unchanged while it runs; nothing else in the folder
// is ever run. Empty when there is none.
std::wstring findSevenZip(const std::wstring &self, std::string &error)
{
    std::vector<std::wstring> candidates;
#ifdef MIREVALE_LAUNCHER_TEST_BUILD
    const std::wstring chosen = environment(L"MIREVALE_7ZIP");
    if (!chosen.empty())
        candidates.push_back(win32Path(chosen));
#endif
    const std::wstring folder = folderOf(self);
    if (candidates.empty() && !folder.empty()) {
        candidates.push_back(folder + L"\\7za.exe");
    }
    for (const std::wstring &candidate : candidates) {
        if (isFile(candidate) && !sameFile(candidate, self))
            return candidate;
    }
    error = "no 7-Zip found: put 7za.exe beside 7z.exe";
    return std::wstring();
}

// As the installer does first: DLLs from the system folder only, never from
// this program's folder (the installer's, usually Downloads). Windows 7 has
// SetDefaultDllDirectories only with update KB2533623, so it is looked up
// rather than imported; without it the front end refuses, as the installer.
bool restrictDllSearch()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI *)(DWORD);
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void *>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    return setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

int run()
{
    if (!restrictDllSearch())
        return fatalError("Windows cannot keep this folder out of the DLL search (update "
                          "KB2533623 is missing)");
#ifdef MIREVALE_LAUNCHER_TEST_BUILD
    if (!environment(L"MIREVALE_7ZIP_FRONT_END").empty())
        return fatalError("started by itself instead of 7-Zip; set MIREVALE_7ZIP");
#endif

    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return commandLineError("cannot read the command line");
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg(argv[i]);
        args.emplace_back(arg.begin(), arg.end());
    }
    LocalFree(argv);

    const launcher::RewriteResult rewritten = launcher::readArguments(args);
    if (!rewritten.ok)
        return commandLineError(rewritten.error);

    const std::wstring self = ownPath();
    if (self.empty())
        return fatalError("cannot find the front end's own folder");
    std::string error;
    const std::wstring sevenZip = findSevenZip(self, error);
    if (sevenZip.empty())
        return fatalError(error);
    std::string program;
    std::string line;
    std::wstring commandLine;
    if (!toUtf8(sevenZip, program))
        return fatalError("the path of 7-Zip is not valid UTF-16");
    if (!launcher::windowsCommandLine(program, rewritten.args, line, error))
        return commandLineError(error);
    if (!toWide(line, commandLine))
        return commandLineError("cannot build 7-Zip's command line");
    const std::wstring workingFolder = workingFolderFor(sevenZip);
    if (workingFolder.empty())
        return fatalError("cannot find a working folder for 7-Zip");

    // 7-Zip runs in a job that is killed when its last handle closes, that
    // is, at the latest when this process ends, however it ends.
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job
        || !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                    sizeof(limits)))
        return fatalError("cannot create a job object");

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
#ifdef MIREVALE_LAUNCHER_TEST_BUILD
    SetEnvironmentVariableW(L"MIREVALE_7ZIP_FRONT_END", L"1");
#endif
    // By full path as the application name: nothing is searched for.
    if (!CreateProcessW(sevenZip.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                        nullptr, workingFolder.c_str(), &startup, &process)) {
        CloseHandle(job);
        return fatalError("cannot run " + program);
    }
    if (!AssignProcessToJobObject(job, process.hProcess)) {
        if (GetLastError() != ERROR_ACCESS_DENIED || !inJobThatEndsIt(process.hProcess)) {
            TerminateProcess(process.hProcess, launcher::ExitFatalError);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            CloseHandle(job);
            return fatalError("cannot place 7-Zip in a job object");
        }
        std::fprintf(stderr,
                     "7z.exe: jobs do not nest on this system: 7-Zip runs in the job the "
                     "installer put this program in, which ends it with the installer\n");
    }
    // Ctrl+C reaches 7-Zip too; let it answer and pass its exit code on.
    SetConsoleCtrlHandler(nullptr, TRUE);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = launcher::ExitFatalError;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(job);
    return int(exitCode);
}

#endif

} // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    (void)argc;
    (void)argv;
    return run();
#else
    return run(argc, argv);
#endif
}
