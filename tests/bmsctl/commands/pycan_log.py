"""Writes or reads a traffic log with python-can's own writers and readers (can.Logger,
can.LogReader: the format by the extension), independent of bmsctl's.

    pycan_log.py write FILE SECONDS:IDENTIFIER#DATA ...   the frames, on channel 0, received
    pycan_log.py read FILE

An identifier of 8 hex digits is a 29-bit one, of 3 an 11-bit one. Reading prints one data frame
a line as MICROSECONDS:IDENTIFIER#DATA, the time from the first frame's, in the same notation;
remote, error and CAN FD frames are left out."""

import sys
from decimal import Decimal

import can


def write(path, frames):
    logger = can.Logger(path)
    for frame in frames:
        time, rest = frame.split(":")
        identifier, data = rest.split("#")
        logger.on_message_received(can.Message(
            timestamp=float(Decimal(time)), arbitration_id=int(identifier, 16),
            is_extended_id=len(identifier) == 8, data=bytes.fromhex(data), channel=0))
    logger.stop()


def read(path):
    first = None
    for message in can.LogReader(path):
        if message.is_error_frame or message.is_remote_frame or message.is_fd:
            continue
        if first is None:
            first = message.timestamp
        width = 8 if message.is_extended_id else 3
        print("%d:%0*X#%s" % (round((message.timestamp - first) * 1e6), width,
                              message.arbitration_id, bytes(message.data).hex().upper()))


if sys.argv[1] == "write":
    write(sys.argv[2], sys.argv[3:])
else:
    read(sys.argv[2])
