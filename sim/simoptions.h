#pragma once

#include "busfaults.h"
#include "historyoptions.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class QCoreApplication;

// What the simulator plays and which faults it injects, from its command line.
struct SimOptions
{
    QString plugin;
    QString interfaceName;
    QList<int> packs;
    // Simulated seconds per real second for the battery model (the clocks run in real time).
    double speed = 30.0;
    bool verbose = false;
    quint32 seed = 1;
    // The bus's bit rate (BusCapacity): frames wait in their sender's transmit queue for the bus,
    // and a frame offered to a full queue is dropped and counted on that node.
    int bitRate = 250000;
    // The host's queue: every frame the simulator hears from the bus enters it. A USB-CAN
    // adapter buffers a few hundred frames between USB and its CAN controller; 512 of them
    // take a 250 kbit/s bus about 0.3 s to send.
    int hostQueue = 512;
    // Each battery's queue: a BMS controller has a few transmit mailboxes and a software queue
    // of tens of frames in front of them; 32 holds the largest burst a battery makes at once
    // (its three broadcast groups falling due together, 26 frames).
    int batteryQueue = 32;

    // Fault injection; applies to the packs in faultPacks, or to every pack when it is empty.
    QList<int> faultPacks;
    double dropReplies = 0.0; // share of replies never sent
    int replyDelayMs = 0; // every reply is sent this late
    double badCrc = 0.0; // share of history records sent with a wrong CRC
    bool freezeLife = false; // the life counter never moves
    double silentAfterS = -1.0; // stop sending anything after this many seconds ...
    double silentForS = 0.0; // ... for this long
    QHash<int, double> forcedSignals; // signal index -> value, broadcast whatever the model says
    HistoryOptions history; // the history logs: size, a transfer cut short, a dump
    BusFaults bus; // duplicated replies, a wrong sender, stray device numbers, a burst

    // The boot loaders (firmware upgrade over CAN, and over the serial port with --uart).
    // Their faults apply to the fault packs like the others.
    QByteArray bootVersion = "ZK100"; // identification the boot loader answers with
    bool uart = false; // also play the serial boot loader on a pseudo-terminal
    QString bootRefuse; // a step the boot loader refuses (BootSteps), or ""
    bool bootSilent = false; // the boot loader never answers
    bool bootCorrupt = false; // the boot loader answers with wrong bytes
    int bootIgnoreRequests = 0; // the boot loader ignores this many boot requests first
    bool uartGarbage = false; // noise on the serial line before every reply
    bool uartSplit = false; // every serial reply split over several writes
    int uartHangUpAt = -1; // the serial line goes dead when this block arrives; -1: never

    // Behind a serial-line CAN adapter on a pseudo-terminal instead of on a bus (SlcanAdapter),
    // and how that adapter misbehaves ("" for not at all).
    bool slcan = false;
    QString slcanFault;

    // The steps --boot-refuse names: CAN request, inquire, erase, data, finish; serial
    // version, prepare, start, data, end, crc.
    static const QStringList BootSteps;

    bool appliesTo(int pack) const { return faultPacks.isEmpty() || faultPacks.contains(pack); }

    // Parses the application's arguments; on a bad argument prints why and returns false.
    static bool parse(const QCoreApplication &app, SimOptions *options, QString *error);
    // The same for a command line, program name first.
    static bool parseArguments(const QStringList &arguments, SimOptions *options, QString *error);
};
