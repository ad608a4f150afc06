#include "controlcansymbols.h"

#include <QLibrary>

namespace {

// QLibrary hands out plain function addresses; the cast to the declared signature is the one
// place where a wrong declaration would go unnoticed, which is why they all live in controlcan.h.
template <typename Function>
bool resolveOne(QLibrary &library, const char *name, Function &function, QString &missing)
{
    function = reinterpret_cast<Function>(library.resolve(name));
    if (!function)
        missing = QString::fromLatin1(name);
    return function != nullptr;
}

} // namespace

bool ControlCanSymbols::resolve(QLibrary &library)
{
    m_errorString.clear();
    QString missing;
    const bool complete = resolveOne(library, "VCI_OpenDevice", openDevice, missing)
        && resolveOne(library, "VCI_CloseDevice", closeDevice, missing)
        && resolveOne(library, "VCI_InitCAN", initCan, missing)
        && resolveOne(library, "VCI_SetReference", setReference, missing)
        && resolveOne(library, "VCI_ClearBuffer", clearBuffer, missing)
        && resolveOne(library, "VCI_StartCAN", startCan, missing)
        && resolveOne(library, "VCI_Transmit", transmit, missing)
        && resolveOne(library, "VCI_Receive", receive, missing)
        && resolveOne(library, "VCI_ReadErrInfo", readErrInfo, missing);
    if (!complete) {
        // QLibrary's own text names the symbol on some platforms only ("Unknown error" on
        // Linux with Qt 5.15), so the name goes in front of it.
        m_errorString = QStringLiteral("Cannot resolve %1 in %2: %3")
                            .arg(missing, library.fileName(), library.errorString());
        clear();
    }
    return complete;
}

bool ControlCanSymbols::isComplete() const
{
    return openDevice && closeDevice && initCan && setReference && clearBuffer && startCan
        && transmit && receive && readErrInfo;
}

void ControlCanSymbols::clear()
{
    openDevice = nullptr;
    closeDevice = nullptr;
    initCan = nullptr;
    setReference = nullptr;
    clearBuffer = nullptr;
    startCan = nullptr;
    transmit = nullptr;
    receive = nullptr;
    readErrInfo = nullptr;
}
