"""Writes the seed corpora of the traffic log readers (corpus/asc_log, trc_log, blf_log) with
python-can's own writers (Debian's python3-can), independent of bmsctl's:

    /usr/bin/python3 fuzz/make_log_corpus.py

Each format gets a log of every kind of frame (29-bit and 11-bit data frames of every length on
two channels, a remote, a CAN FD and an error frame) and a longer one of a bank's broadcasts,
3,000 frames in BLF, where they span two containers, 200 in the text formats."""

import os

import can

HERE = os.path.dirname(os.path.abspath(__file__))
START = 1700000000.123456


def every_kind():
    yield can.Message(timestamp=START, arbitration_id=0x02008001,
                      data=bytes.fromhex("0212F7D03E8FA002"), channel=0)
    yield can.Message(timestamp=START + 0.000001, arbitration_id=0x123, is_extended_id=False,
                      data=b"\x01\x02", channel=0, is_rx=False)
    yield can.Message(timestamp=START + 0.1, arbitration_id=0x1FFFFFFF, data=b"", channel=1)
    yield can.Message(timestamp=START + 0.2, arbitration_id=0x100, is_extended_id=False,
                      is_remote_frame=True, dlc=2, channel=0)
    yield can.Message(timestamp=START + 0.3, arbitration_id=0x101, is_extended_id=False,
                      is_fd=True, data=bytes(12), channel=0)
    yield can.Message(timestamp=START + 0.4, arbitration_id=0, is_error_frame=True, channel=0)
    yield can.Message(timestamp=START + 3600.5, arbitration_id=0x7FF, is_extended_id=False,
                      data=bytes(range(8)), channel=0)


def bank(count):
    for number in range(count):
        battery = number % 28 + 1
        yield can.Message(timestamp=START + number * 0.000347,
                          arbitration_id=0x02008000 | battery,
                          data=bytes([2, 0x12, number % 256, 0xD0, 0x3E, 0x8F, battery, 2]),
                          channel=0)


for extension in ("asc", "trc", "blf"):
    folder = os.path.join(HERE, "corpus", extension + "_log")
    os.makedirs(folder, exist_ok=True)
    count = 3000 if extension == "blf" else 200
    for name, messages in (("every_kind", every_kind()), ("bank", bank(count))):
        logger = can.Logger(os.path.join(folder, name + "." + extension))
        for message in messages:
            logger.on_message_received(message)
        logger.stop()
