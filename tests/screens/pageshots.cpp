// Brings one page up in the whole main window, with live data from a battery on the bus, for a
// screenshot: the navigation bar hides some pages, so the driver selects them in the page stack
// itself. It opens the bus (canbus.ini beside it says which), waits for a battery, runs the
// page's scenario and then prints "ready" and keeps the window up. The trends pages open the
// Trends window from the top bar instead, in the screen's corner, once every battery the
// simulator plays is online, and give the recorder a minute and a half. The bank-fault pages
// select battery 01 and wait until the bank line names a battery offline and one in protection.
//
//   page-shots home|history-events|realtime-recording|history-data|manufacturing|trends-battery|
//              trends-bank|bank-line|trends-bank-faults [--chinese]

#include "app/startup.h"
#include "can/canservice.h"
#include "log/logger.h"
#include "records/historyeventmodel.h"
#include "records/historyreadout.h"
#include "records/realtimerecordingtablemodel.h"
#include "resource/resources.h"
#include "signals/bankstate.h"
#include "signals/signalvalues.h"
#include "ui/mainwidger.h"
#include "ui/uihistoryevents.h"
#include "ui/uilogshistory.h"
#include "ui/uimainleft.h"
#include "ui/uimaintop.h"
#include "ui/uirealtimerecording.h"
#include "ui/uitrendbanktab.h"
#include "ui/uitrendbatterytab.h"
#include "ui/uitrendswindow.h"

#include <QApplication>
#include <QLayout>
#include <QLocale>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <functional>

namespace {

// Calls done() once test() holds, looking every 100 ms.
void when(std::function<bool()> test, std::function<void()> done)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, test, done] {
        if (!test())
            return;
        timer->deleteLater();
        done();
    });
    timer->start(100);
}

void ready()
{
    std::printf("ready\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString page = arguments.value(1);
    const QStringList pages { QStringLiteral("home"), QStringLiteral("history-events"),
        QStringLiteral("realtime-recording"), QStringLiteral("history-data"),
        QStringLiteral("manufacturing"), QStringLiteral("trends-battery"),
        QStringLiteral("trends-bank"), QStringLiteral("bank-line"),
        QStringLiteral("trends-bank-faults") };
    if (!pages.contains(page)) {
        std::fprintf(
            stderr, "usage: page-shots %s [--chinese]\n", qPrintable(pages.join(QLatin1Char('|'))));
        return 2;
    }
    Resources::init();
    if (arguments.contains(QStringLiteral("--chinese"))) {
        auto *translator = new QTranslator(&app);
        if (translator->load(QStringLiteral("cn"), QStringLiteral(":/resource/language"))) {
            app.installTranslator(translator);
            QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        }
    }
    Startup::registerMetaTypes();
    Startup::substituteFonts();
    Startup::loadStyleSheet(app);
    SignalValues::instance();

    auto *window = new MainWidger(SignalValues::instance(), CanService::instance());
    window->show();
    window->mainLeft()->openCanButton()->click();
    UiLogsHistory *logs = window->logsHistory();

    if (page == QLatin1String("bank-line") || page == QLatin1String("trends-bank-faults")) {
        const auto faultsShown = [] {
            const SignalValues *store = SignalValues::instance();
            const BankState state = BankState::read(*store, store->knownDevices());
            return !state.offline().isEmpty() && !state.protection().isEmpty();
        };
        when([] { return SignalValues::instance()->knownDevices().contains(1); },
            [=] {
                window->mainTop()->selectDevice(1);
                when(faultsShown, [=] {
                    if (page == QLatin1String("trends-bank-faults")) {
                        window->mainTop()->trendsButton()->click();
                        UiTrendsWindow *trends = window->trendsWindow();
                        trends->move(0, 0);
                        trends->tabs()->setCurrentWidget(trends->bankTab());
                    }
                    // Two ticks of the top bar and of the Trends window.
                    QTimer::singleShot(2500, ready);
                });
            });
        return app.exec();
    }

    if (page.startsWith(QLatin1String("trends-"))) {
        // The simulator's batteries all arrive within a few seconds of each other.
        const int recordMs = 90 * 1000;
        QTimer::singleShot(5000, [=] {
            window->mainTop()->trendsButton()->click();
            UiTrendsWindow *trends = window->trendsWindow();
            trends->move(0, 0);
            trends->batteryTab()->setSpan(UiTrendBatteryTab::LastMinute);
            if (page == QLatin1String("trends-bank"))
                trends->tabs()->setCurrentWidget(trends->bankTab());
            QTimer::singleShot(recordMs, ready);
        });
        return app.exec();
    }

    // The top bar selects the first battery at its next tick; the pages then follow it.
    when([] { return !SignalValues::instance()->knownDevices().isEmpty(); },
        [=] {
            if (page == QLatin1String("home") || page == QLatin1String("manufacturing")) {
                window->stack()->setCurrentIndex(page == QLatin1String("home")
                        ? MainWidger::BaseInfoPage
                        : MainWidger::ManufacturingPage);
                QTimer::singleShot(3000, ready);
                return;
            }
            if (page == QLatin1String("history-data")) {
                window->stack()->setCurrentIndex(MainWidger::HistoryDataPage);
                // Two ticks of the page, and the statistics frames (every 3 s) are in.
                QTimer::singleShot(5000, ready);
                return;
            }
            window->stack()->setCurrentIndex(MainWidger::LogsHistoryPage);
            if (page == QLatin1String("history-events")) {
                logs->nextButton()->click();
                QTimer::singleShot(2500, [=] {
                    logs->historyEvents()->readButton()->click();
                    when(
                        [=] {
                            return logs->historyEvents()->model()->readout()->state()
                                != HistoryReadout::Reading;
                        },
                        ready);
                });
                return;
            }
            QTimer::singleShot(2500, [=] {
                logs->realTimeRecording()->recordButton()->click();
                when([=] { return logs->realTimeRecording()->model()->rowCount() >= 12; }, ready);
            });
        });
    return app.exec();
}
