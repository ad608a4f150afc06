#pragma once

#include <QString>

class MainWidger;
class QApplication;
class QWidget;

// The steps the program runs before its event loop, in the order main() calls them. They are
// separate so that each can be checked on its own.
class Startup
{
public:
    // Before the application object, while the process has one thread: where the C library is
    // glibc and TZ is not set, sets TZ to ":/etc/localtime", the file glibc reads anyway. Qt has
    // the C library look at the time zone again on every local-time conversion, and without TZ
    // glibc then checks /etc/localtime with a stat() each time; Qt's virtual CAN bus converts
    // the time of every frame it receives, so with 28 batteries the check alone would take
    // about half of the program's CPU. With TZ set the file is read once: the zone the program
    // starts in stays its zone until it is restarted. Elsewhere (Windows) and with TZ set,
    // nothing changes.
    static void keepTheStartingTimeZone();
    // UTF-8 as the locale codec, then the Chinese translation when config.txt asks for it.
    static void loadLanguage(QApplication &app);
    static void registerMetaTypes();
    // Trace level, logs.txt beside the executable (20 MiB, two old files) and the debugger output.
    static void setUpLogger();
    static void logBanner();
    // The sheet asks for "Microsoft YaHei"; where it is missing, a CJK-capable font stands in so
    // that the Chinese texts render.
    static void substituteFonts();
    // The compiled-in style sheet; its palette colour is the 7 characters at position 20.
    static void loadStyleSheet(QApplication &app);

    // When the window is destroyed, the process ends at once with status 0: the CAN worker
    // thread is neither stopped nor joined.
    static void endProcessWhenDestroyed(QWidget *window);

    // Every step after the application object, in order, up to the main window shown; the
    // caller runs the event loop.
    static MainWidger *showMainWindow(QApplication &app);

    // The compiler's build date and time, "Jan 19 2022" and "09:51:41".
    static const char *buildDate();
    static const char *buildTime();
};
