#pragma once

// A log file that the installer makes itself: always a new file, never one
// that was there before and never through a link, so that no one can make
// the elevated installer write into a file of their choice (see
// platform/README.md, "Log file").
//
// Windows (LogFile_win.cpp): CreateFileW with CREATE_NEW and
// FILE_FLAG_OPEN_REPARSE_POINT, shared for reading only. Emulation
// (LogFile_emul.cpp): open with O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
// mode 0600.

#include <QString>

#include <memory>

namespace Platform {

class LogFile
{
public:
    ~LogFile();
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    // Creates the file `path`; nullptr when anything is there already (a
    // file, a folder, a link, even a dangling one) or it cannot be made.
    static std::unique_ptr<LogFile> create(const QString &path);

    // Creates <prefix>-<yyyyMMdd-HHmmss>-<pid>.log in the temporary folder
    // (Platform::temporaryFolder()). When the name is taken, a number is
    // added (<prefix>-<time>-<pid>-2.log, up to -100); nullptr when all are
    // taken or the folder cannot be written.
    static std::unique_ptr<LogFile> createInTemporaryFolder(const QString &prefix);

    QString path() const { return m_path; }

    // Writes text as UTF-8 and a line end ("\r\n" on Windows, "\n"
    // elsewhere), at once, unbuffered. False when not all of it was written.
    bool writeLine(const QString &text);

private:
#ifdef Q_OS_WIN
    LogFile(const QString &path, void *handle);
    void *m_handle = nullptr;
#else
    LogFile(const QString &path, int fd);
    int m_fd = -1;
#endif
    QString m_path;
};

} // namespace Platform
