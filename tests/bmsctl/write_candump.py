"""Writes the candump log argv[1] with python-can's own writer: one frame an argument after it,
IDENTIFIER#DATA, 10 ms apart, logged as received and transmitted in turn."""

import sys

import can

writer = can.CanutilsLogWriter(sys.argv[1])
for number, frame in enumerate(sys.argv[2:]):
    identifier, data = frame.split("#")
    writer.on_message_received(can.Message(
        timestamp=1700000000 + number / 100, arbitration_id=int(identifier, 16),
        data=bytes.fromhex(data), is_rx=number % 2 == 0, channel="can0"))
writer.stop()
