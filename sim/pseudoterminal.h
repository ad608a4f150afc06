#pragma once

#include <QString>

// A pseudo-terminal pair in raw mode: the simulator keeps the master end and the host opens the
// slave, by path, as its serial port. The slave is held open here too, so that the master never
// sees the line hang up while no host has it open. Unix only; open() says why elsewhere.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Makes the pair, the master non-blocking; false with the reason in *error.
    bool open(QString *error);
    // Closes both ends: the host's port hangs up.
    void close();

    bool isOpen() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    int slaveFd() const { return m_slave; }
    // The slave's path, e.g. /dev/pts/7.
    QString portPath() const { return m_portPath; }

private:
    QString m_portPath;
    int m_master = -1;
    int m_slave = -1;
};
