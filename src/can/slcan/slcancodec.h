#pragma once

#include "can/canframe.h"

#include <QByteArray>

// The lines of the slcan (LAWICEL) serial-line CAN protocol, for both ends: SlcanBus, the host,
// and the simulator playing an adapter. Every line ends in a carriage return:
//
//     t iii l dd..      standard data frame: 3 hex digits of identifier, length 0-8, the data
//     T iiiiiiii l dd.. extended data frame: 8 hex digits of identifier
//     r iii l / R iiiiiiii l   standard / extended remote frame (a length, no data)
//     Sn                bit rate by code: S0 10, S1 20, S2 50, S3 100, S4 125, S5 250, S6 500,
//                       S7 800, S8 1000 kbit/s
//     sxxyy             bit rate by the SJA1000's BTR0 and BTR1 (16 MHz clock), for the others
//     O / C             open / close the channel
//     V                 version: the answer is "V" and four digits
//     F                 status flags: the answer is "F" and two hex digits
//
// An adapter answers a command with a carriage return alone (a transmitted frame: "z" or "Z"
// before it), and an error with a bell (0x07). Received frames may carry 4 more hex digits, a
// time stamp in milliseconds (0-59999). Hex digits are written upper case and read in either.
class SlcanCodec
{
public:
    static constexpr char Ok = '\r';
    static constexpr char Error = '\a';

    // The line for a frame, carriage return included.
    static QByteArray frameLine(const CanFrame &frame);
    // A frame line without its carriage return: false if it is none or malformed. *timeMs is the
    // time stamp, or -1 when the line has none.
    static bool parseFrame(const QByteArray &line, CanFrame *frame, int *timeMs = nullptr);
    // Whether the line (without its carriage return) starts a frame: t, T, r or R.
    static bool isFrameLine(const QByteArray &line);

    // "S5\r" for 250 kbit/s; the s form for a rate no code has. Empty for a rate neither knows.
    static QByteArray bitRateCommand(int bitRateKbit);
    // The rate of an S or s command line (without its carriage return), or 0.
    static int bitRateOfCommand(const QByteArray &line);
};
