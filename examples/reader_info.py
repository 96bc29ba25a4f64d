#!/usr/bin/env python3
"""Opens one reader through the TagBench libraries (ctypes, no build step), prints its
identity and runs ten inventories.

    reader_info.py tcp HOST PORT        e.g. reader_info.py tcp 192.168.1.250 60000
    reader_info.py serial PORT [BAUD]   e.g. reader_info.py serial ttyUSB0 115200
    reader_info.py usb [POSITION]       position in the list of USB bridges, from 0

The libraries are loaded by their SONAME (libQnNetApi.so.2, ...) from the system's library
path; --lib-dir DIR loads them from DIR instead (for instance <prefix>/lib/x86_64-linux-gnu
of a `cmake --install --prefix` tree). The buffer sizes come from the tagbench Python package
(python3-tagbench, or PYTHONPATH=python in the source tree). Exit status as reader_info.c.
"""
import argparse
import ctypes
import os
import sys

# QN_TAG_RECORD_BYTES of QnReaderTypes.h: the room an inventory result needs.
from tagbench.sightings import TAG_RECORD_BYTES

# The callback events of QnReaderTypes.h.
QN_EVENT_LINK_RESTORED = 0
QN_EVENT_LINK_LOST = 1
QN_EVENT_DATA = 2

SOVERSION = 2
LIBRARIES = {"serial": ("QnComApi", "QnCom_"), "usb": ("QnHidApi", "QnHid_"),
             "tcp": ("QnNetApi", "QnNet_")}

u8p = ctypes.POINTER(ctypes.c_uint8)
u16p = ctypes.POINTER(ctypes.c_uint16)
QnCallback = ctypes.CFUNCTYPE(None, ctypes.c_int32, ctypes.c_int32, u8p, ctypes.c_int32, u8p)


def load(transport, lib_dir):
    name, prefix = LIBRARIES[transport]
    file = f"lib{name}.so.{SOVERSION}"
    library = ctypes.CDLL(os.path.join(lib_dir, file) if lib_dir else file)

    def function(short, restype, *argtypes):
        f = getattr(library, prefix + short)
        f.restype, f.argtypes = restype, list(argtypes)
        return f

    api = argparse.Namespace(
        SetCallback=function("SetCallback", ctypes.c_int, QnCallback),
        GetDeviceSystemInfo=function("GetDeviceSystemInfo", ctypes.c_int, ctypes.c_uint8, u8p),
        InventoryG2=function("InventoryG2", ctypes.c_int, ctypes.c_uint8, u8p, u16p, u16p),
        CloseDevice=function("CloseDevice", None))
    if transport == "tcp":
        api.OpenDevice = function("OpenDevice", ctypes.c_int, ctypes.c_char_p, ctypes.c_uint16)
    elif transport == "serial":
        api.OpenDevice = function("OpenDevice", ctypes.c_int, ctypes.c_char_p, ctypes.c_int32)
    else:
        api.GetUsbCount = function("GetUsbCount", ctypes.c_uint16)
        api.GetUsbInfo = function("GetUsbInfo", ctypes.c_int, ctypes.c_uint16, ctypes.c_char_p)
        api.OpenDevice = function("OpenDevice", ctypes.c_int, ctypes.c_uint16)
    return api


def open_reader(api, args):
    """Returns True when the reader is open."""
    if args.transport == "tcp":
        print(f"reader: tcp {args.host}:{args.port}")
        return api.OpenDevice(args.host.encode(), args.port) == 1
    if args.transport == "serial":
        print(f"reader: serial {args.port} at {args.baud} baud")
        return api.OpenDevice(args.port.encode(), args.baud) == 1
    count = api.GetUsbCount()
    path = ctypes.create_string_buffer(256)
    if not api.GetUsbInfo(args.position, path):
        print(f"no USB bridge at position {args.position} ({count} listed)", file=sys.stderr)
        return False
    print(f"reader: usb {path.value.decode(errors='replace')}")
    return api.OpenDevice(args.position) == 1


# Runs on a library thread: link events only (this program does not start active mode).
@QnCallback
def on_event(event, value, data, length, serial7):
    if event == QN_EVENT_LINK_LOST:
        print("link lost", file=sys.stderr)
    elif event == QN_EVENT_LINK_RESTORED:
        print("link restored", file=sys.stderr)


def parse_arguments():
    parser = argparse.ArgumentParser(description="Print a reader's identity and run ten "
                                     "inventories.")
    parser.add_argument("--lib-dir", help="folder holding libQnComApi.so.2 and the others")
    transports = parser.add_subparsers(dest="transport", required=True)
    tcp = transports.add_parser("tcp")
    tcp.add_argument("host")
    tcp.add_argument("port", type=int)
    serial = transports.add_parser("serial")
    serial.add_argument("port")
    serial.add_argument("baud", type=int, nargs="?", default=115200)
    usb = transports.add_parser("usb")
    usb.add_argument("position", type=int, nargs="?", default=0)
    return parser.parse_args()


def main():
    args = parse_arguments()
    api = load(args.transport, args.lib_dir)
    if not open_reader(api, args):
        print("cannot open the reader", file=sys.stderr)
        return 1
    api.SetCallback(on_event)
    try:
        info = (ctypes.c_uint8 * 10)()
        if not api.GetDeviceSystemInfo(0xFF, info):
            print("the reader did not answer GetDeviceSystemInfo", file=sys.stderr)
            return 1
        serial_number = " ".join(f"{b:02X}" for b in info[2:9])
        print(f"firmware {info[0] >> 4}.{info[0] & 15}, hardware {info[1] >> 4}.{info[1] & 15}, "
              f"serial number {serial_number}")

        answered = 0
        for round_number in range(1, 11):
            records = (ctypes.c_uint8 * TAG_RECORD_BYTES)()
            byte_length, tag_count = ctypes.c_uint16(), ctypes.c_uint16()
            # A reader answers failure when it sees no tag.
            if not api.InventoryG2(0xFF, records, byte_length, tag_count):
                print(f"inventory {round_number}: no tags")
                continue
            answered += 1
            print(f"inventory {round_number}: {tag_count.value} tags")
            # Records lie back to back: a length byte n, then n bytes (type, antenna, EPC,
            # RSSI, ...).
            data = bytes(records[:byte_length.value])
            at = 0
            while at < len(data):
                print("  " + data[at + 1:at + 1 + data[at]].hex().upper())
                at += data[at] + 1
        print(f"inventories with tags: {answered} of 10")
        return 0
    finally:
        api.SetCallback(QnCallback())
        api.CloseDevice()


if __name__ == "__main__":
    sys.exit(main())
