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
