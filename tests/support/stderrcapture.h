#pragma once

#include <QByteArray>
#include <QTemporaryFile>

#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

// Redirects the process's standard error into a temporary file for as long as it lives; text()
// returns what was written so far.
class StderrCapture
{
#ifdef Q_OS_WIN
    static int duplicate(int fd)
    {
        return ::_dup(fd);
    }
    static int duplicateTo(int fd, int target)
    {
        return ::_dup2(fd, target);
    }
    static int closeFd(int fd)
    {
        return ::_close(fd);
    }
    static constexpr int StderrFd = 2;
#else
    static int duplicate(int fd)
    {
        return ::dup(fd);
    }
    static int duplicateTo(int fd, int target)
    {
        return ::dup2(fd, target);
    }
    static int closeFd(int fd)
    {
        return ::close(fd);
    }
    static constexpr int StderrFd = STDERR_FILENO;
#endif

public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_savedFd = duplicate(StderrFd);
        duplicateTo(m_file.handle(), StderrFd);
    }
    ~StderrCapture()
    {
        restore();
    }

    QByteArray text()
    {
        std::fflush(stderr);
        m_file.seek(0);
        return m_file.readAll();
    }

    void restore()
    {
        if (m_savedFd < 0)
            return;
        std::fflush(stderr);
        duplicateTo(m_savedFd, StderrFd);
        closeFd(m_savedFd);
        m_savedFd = -1;
    }

private:
    QTemporaryFile m_file;
    int m_savedFd = -1;
};
