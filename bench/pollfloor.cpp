// What the specified 5 ms poll costs on this machine before it does any work: an application
// whose only activity is a thread like the CAN worker, with an empty 5 ms timer. idle_cpu.sh's
// floor case measures it, as the lower bound of the open-bus figures.

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QThread worker;
    worker.setObjectName(QStringLiteral("CanWorker"));
    QTimer poll;
    poll.setInterval(5);
    poll.moveToThread(&worker);
    QObject::connect(&worker, &QThread::started, &poll, qOverload<>(&QTimer::start));
    worker.start();
    const int result = app.exec();
    worker.quit();
    worker.wait();
    return result;
}
