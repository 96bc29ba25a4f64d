"""TagBench readers from Python: any number of UHF RFID readers at once, each opened by its
address, over libQnReader (ctypes, no build step).

    import tagbench

    with tagbench.open("tcp://192.168.1.250") as reader:
        print(reader.info().serial)
        for tag in reader.inventory():
            print(tag.epc, tag.antenna, tag.rssi)

The library is loaded from $TAGBENCH_LIB_DIR when that is set, else from the system's
library path (libQnReader.so.2, then libQnReader.so).
"""
from ._library import ReaderError
from .reader import Bank, Reader, ReaderInfo
from .sightings import Sighting

# The name of a sighting before it carried its GS1 identity.
TagRecord = Sighting

__all__ = ["Bank", "Reader", "ReaderError", "ReaderInfo", "Sighting", "TagRecord", "open"]
__version__ = "2.9.0"


def open(address: str, *, wait_scale: int = 100) -> Reader:
    """Opens the reader at `address` ("tcp://HOST[:PORT]", "serial:PATH[?baud=N]", "usb:N",
    "usb:PATH"); raises ReaderError with the reason when it cannot. `wait_scale` stretches
    every answer wait to that many per cent (100 to 1000) for slow lines and busy hosts."""
    return Reader(address, wait_scale=wait_scale)
