#pragma once

#include <QtGlobal>

// How a signal's value is stored: reals as float, integers as unsigned 32-bit numbers (a
// negative integer wraps and reads back signed through toInt()).
enum class SignalKind : qint32 { Real = 1, Integer = 2 };

// One broadcast signal: where it sits in its frame and how its raw bits become a value.
struct SignalDefinition
{
    int index = -1; // the signal's identity, its position in the catalogue (Signal::Index)
    int start = 0; // least significant bit: byte * 8 + bit in byte, bit 0 the byte's lowest
    int length = 0; // 1..32 bits
    // Descriptive only: batteries send values outside these and they are kept as sent. The
    // 32-bit signals' maximum 0xFFFFFFFF does not fit and reads -1.
    int minimum = 0;
    int maximum = 0;
    SignalKind kind = SignalKind::Integer;
    // Single precision is part of the wire contract: values are scaled as
    // double(raw) * double(factor) + offset, so a current of raw 3000 with offset -300 reads
    // 0.0000045 rather than 0, and every screen and recorded file shows that same number.
    float factor = 1.0f;
    int offset = 0;
};
Q_DECLARE_TYPEINFO(SignalDefinition, Q_PRIMITIVE_TYPE);
