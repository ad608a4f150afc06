#include "pseudoterminal.h"

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#endif

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(QString *error)
{
#ifdef Q_OS_UNIX
    const auto failed = [this, error] {
        *error = QString::fromLocal8Bit(::strerror(errno));
        close();
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return failed();
    const char *name = ::ptsname(m_master);
    if (!name)
        return failed();
    m_portPath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0)
        return failed();
    // Raw, so that the line never echoes or translates, whoever has the port open.
    termios settings {};
    ::tcgetattr(m_slave, &settings);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    ::tcsetattr(m_slave, TCSANOW, &settings);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    return true;
#else
    *error = QStringLiteral("pseudo-terminals are not available on this system");
    return false;
#endif
}

void PseudoTerminal::close()
{
#ifdef Q_OS_UNIX
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
#endif
    m_slave = -1;
    m_master = -1;
}
