#include "quitonsignal.h"

#include <QCoreApplication>
#include <QTimer>

#include <csignal>

namespace {

volatile std::sig_atomic_t received = 0;

extern "C" void onSignal(int signalNumber)
{
    received = signalNumber;
}

} // namespace

QuitOnSignal::QuitOnSignal(QObject *parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    connect(m_timer, &QTimer::timeout, this, &QuitOnSignal::poll);
    m_timer->start(PollMs);
}

int QuitOnSignal::receivedSignal()
{
    return received;
}

void QuitOnSignal::poll()
{
    if (received != 0)
        QCoreApplication::quit();
}
