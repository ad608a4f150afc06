#pragma once

#include <QObject>

class QTimer;

// Ends the event loop cleanly on SIGINT or SIGTERM (what QProcess::terminate() sends), so that
// whatever follows app.exec() still runs: the simulator prints its summary there. The handler
// only sets a flag, the one thing a signal handler may safely do; a timer in the event loop
// looks at it every PollMs and quits the application.
class QuitOnSignal : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollMs = 50;

    explicit QuitOnSignal(QObject *parent = nullptr);

    // The signal that ended the loop, 0 while none came.
    static int receivedSignal();

private:
    void poll();

    QTimer *m_timer = nullptr;
};
