// setting/threshold.cfg as the user may have edited it.
#include "fuzztarget.h"

#include "settings/thresholdsetting.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Fuzz::application();
    const QString path = Fuzz::scratchFile(QStringLiteral("threshold.cfg"));
    Fuzz::writeFile(path, data, size);
    ThresholdSetting setting;
    setting.loadSetting(path);
    for (int id = 0; id < 256; ++id) {
        const int index = setting.indexOfParam(uchar(id));
        if (index >= 0 && int(setting.items().at(index).paramId) != id)
            __builtin_trap();
    }
    return 0;
}
