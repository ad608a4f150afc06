#pragma once

#include <QString>

// config.txt beside the executable: an INI file with the keys "language", "title", "product"
// and "pages" at top level. Nobody keeps it open; each reader opens it, reads or repairs one key
// and lets it go, so a value read as invalid is written back as its default at once.
class AppConfig
{
public:
    static QString filePath();

    // True when "language" (lower-cased) is "1"; anything else is rewritten to "0".
    static bool readChineseLanguage();
    // The "title" value; an empty one is rewritten to "ZELKOR_Upper_Computer".
    static QString readTitle();
    // True when "product" is "1"; anything else is rewritten to "0".
    static bool readProductEntry();
    // True when "pages" is "all": the navigation bar then shows the entries it otherwise hides.
    // Never written back.
    static bool readAllPages();

    // "V1.03.12": the project version with the minor and patch numbers as two digits.
    static QString version();
    // "<title> <version>", the main window's title.
    static QString windowTitle();
};
