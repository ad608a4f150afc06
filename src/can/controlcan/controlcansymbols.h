#pragma once

#include "controlcan.h"

#include <QString>

class QLibrary;

// The nine entry points of a loaded ControlCAN library. Resolving is all or nothing: a library
// that lacks one function is of no use, and a half-filled table would fail later and less
// clearly, in the middle of a call.
class ControlCanSymbols
{
public:
    // Fills every pointer from a loaded library, or clears them all and keeps the library's
    // reason in errorString().
    bool resolve(QLibrary &library);
    bool isComplete() const;
    QString errorString() const { return m_errorString; }

    VciOpenDeviceFn openDevice = nullptr;
    VciCloseDeviceFn closeDevice = nullptr;
    VciInitCanFn initCan = nullptr;
    VciSetReferenceFn setReference = nullptr;
    VciClearBufferFn clearBuffer = nullptr;
    VciStartCanFn startCan = nullptr;
    VciTransmitFn transmit = nullptr;
    VciReceiveFn receive = nullptr;
    VciReadErrInfoFn readErrInfo = nullptr;

private:
    void clear();

    QString m_errorString;
};
