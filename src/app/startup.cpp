#include "startup.h"

#include "can/canservice.h"
#include "log/destinationfactory.h"
#include "log/logger.h"
#include "resource/resources.h"
#include "settings/appconfig.h"
#include "signals/signalvalues.h"
#include "ui/mainwidger.h"
#include "ui/relayindex.h"
#include "upgrade/canupgrade.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QLocale>
#include <QPalette>
#include <QTextCodec>
#include <QTranslator>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

void Startup::loadLanguage(QApplication &app)
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    auto *translator = new QTranslator(&app);
    QLOG_INFO() << "loading language...";
    if (AppConfig::readChineseLanguage()) {
        if (translator->load(QStringLiteral("cn"), QStringLiteral(":/resource/language"))) {
            app.installTranslator(translator);
            // Pictures with words in them have Chinese variants among the resources.
            QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        }
    }
}

void Startup::registerMetaTypes()
{
    qRegisterMetaType<RelayIndex>("RelayIndex");
}

void Startup::setUpLogger()
{
    using namespace QsLogging;
    Logger &logger = Logger::instance();
    logger.setLoggingLevel(TraceLevel);
    const QString logPath = QCoreApplication::applicationDirPath() + QStringLiteral("/logs.txt");
    logger.addDestination(
        DestinationFactory::MakeFileDestination(logPath, EnableLogRotation, 20971520, 2));
    logger.addDestination(DestinationFactory::MakeDebugOutputDestination());
}

void Startup::logBanner()
{
    const char *const rule
        = "--------------------------------------------------------------------------";
    QLOG_INFO() << "!";
    QLOG_INFO() << "!";
    QLOG_INFO() << "!";
    QLOG_INFO() << rule;
    QLOG_INFO() << "ZELKOR Upper Computer";
    // As plain text: the log would quote a QString.
    QLOG_INFO() << qPrintable(AppConfig::version());
    QLOG_INFO() << buildDate() << " " << buildTime();
    QLOG_INFO() << rule;
    QLOG_INFO() << "main: application start!";
}

void Startup::substituteFonts()
{
    // WenQuanYi Micro Hei claims "℃" but draws it blank; Zen Hei draws it.
    QFont::insertSubstitutions(QStringLiteral("Microsoft YaHei"),
        { QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"),
            QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("SimHei") });
}

void Startup::loadStyleSheet(QApplication &app)
{
    QLOG_INFO() << "loading css file...";
    QFile file(QStringLiteral(":/resource/flatwhite.css"));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = file.readAll();
    // The sheet is Latin-1 text that ends at the first NUL byte, if it has one.
    const QString styleSheet = QString::fromLatin1(
        content.constData(), int(qstrnlen(content.constData(), uint(content.size()))));
    app.setPalette(QPalette(QColor(styleSheet.mid(20, 7))));
    app.setStyleSheet(styleSheet);
    file.close();
}

void Startup::endProcessWhenDestroyed(QWidget *window)
{
    QObject::connect(window, &QObject::destroyed, [] {
        // Static destructors would tear down Qt under the CAN worker thread, which still runs
        // its adapter (and may host the virtual bus). The log is complete line by line; wait
        // for a line in progress, then leave without running anything else.
        QsLogging::Logger::instance().holdForExit();
        std::fflush(nullptr);
        std::_Exit(0);
    });
}

MainWidger *Startup::showMainWindow(QApplication &app)
{
    Resources::init();

    loadLanguage(app);
    registerMetaTypes();
    setUpLogger();
    logBanner();
    substituteFonts();
    loadStyleSheet(app);

    QLOG_INFO() << "loading signal...";
    SignalValues *store = SignalValues::instance();
    // The CAN service, made for the window below, runs its upgrade with this one.
    CanService::provideUpgradeSession(new CanUpgrade);

    QLOG_INFO() << "loading view...";
    // Asking for the CAN service creates it, and with it the CAN worker thread, for the window's
    // pages.
    auto *window = new MainWidger(store, CanService::instance());
    window->setAttribute(Qt::WA_QuitOnClose);
    window->setAttribute(Qt::WA_DeleteOnClose);
    endProcessWhenDestroyed(window);
    window->show();

    QLOG_INFO() << "init everything successed.";
    return window;
}

const char *Startup::buildDate()
{
    return __DATE__;
}

const char *Startup::buildTime()
{
    return __TIME__;
}
