"""Reads a candump log with python-can's own reader, independent of bmsctl's, and prints one
frame a line as IDENTIFIER#DATA (upper-case hex, 8 digits for 29-bit identifiers, 3 for 11-bit)."""

import sys

import can

for message in can.CanutilsLogReader(sys.argv[1]):
    width = 8 if message.is_extended_id else 3
    print("%0*X#%s" % (width, message.arbitration_id, bytes(message.data).hex().upper()))
