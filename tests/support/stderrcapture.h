#pragma once

#include <QByteArray>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

// Redirects the process's standard error into a temporary file for as long as it lives; text()
// returns what was written so far. Only for tests on POSIX systems.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_savedFd = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }

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
        ::dup2(m_savedFd, STDERR_FILENO);
        ::close(m_savedFd);
        m_savedFd = -1;
    }

private:
    QTemporaryFile m_file;
    int m_savedFd = -1;
};
