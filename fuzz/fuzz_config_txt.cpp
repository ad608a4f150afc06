// config.txt beside the executable, as written by hand.
#include "fuzztarget.h"

#include "settings/appconfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Fuzz::application();
    Fuzz::writeFile(AppConfig::filePath(), data, size);
    AppConfig::readChineseLanguage();
    AppConfig::readProductEntry();
    // A title always comes out: the file's or the default.
    if (AppConfig::readTitle().isEmpty())
        __builtin_trap();
    return 0;
}
