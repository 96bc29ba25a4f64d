"""Loads libQnReader and declares the C functions the package calls (QnReader.h)."""
from __future__ import annotations

import ctypes
import os
import threading

LIBRARY_NAMES = ("libQnReader.so.2", "libQnReader.so")
LIBRARY_DIR_VARIABLE = "TAGBENCH_LIB_DIR"

# The `event` of a callback (QnEvent in QnReaderTypes.h); a traffic callback's `value` for a
# received frame.
EVENT_DATA = 2
TRAFFIC_RECEIVED = 0

u8p = ctypes.POINTER(ctypes.c_uint8)
u16p = ctypes.POINTER(ctypes.c_uint16)
handle_t = ctypes.c_void_p

# void (*QnReaderCallback)(QnReader *reader, void *user, int32_t event, int32_t value,
#                          const uint8_t *data, int32_t length, const uint8_t *serial7)
Callback = ctypes.CFUNCTYPE(None, handle_t, ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32,
                            u8p, ctypes.c_int32, u8p)
# int (*QnUpgradeProgress)(void *user, size_t blocksSent, size_t blockCount, size_t bytesSent,
#                          size_t totalBytes)
UpgradeProgress = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_size_t,
                                   ctypes.c_size_t, ctypes.c_size_t, ctypes.c_size_t)
# QnUpgradeOutcome
UPGRADE_REFUSED, UPGRADE_FAILED, UPGRADE_COMPLETED, UPGRADE_CANCELLED = -1, 0, 1, 2

# Name after the QnReader_ prefix: result type, argument types.
_PROTOTYPES = {
    "Open": (handle_t, [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t]),
    "Close": (None, [handle_t]),
    "FamilyName": (ctypes.c_char_p, [ctypes.c_uint8]),
    "SetCallback": (ctypes.c_int, [handle_t, Callback, ctypes.c_void_p]),
    "SetCallbackDebug": (ctypes.c_int, [handle_t, Callback, ctypes.c_void_p]),
    "SetWaitScale": (ctypes.c_int, [handle_t, ctypes.c_int32]),
    "GetDeviceSystemInfo": (ctypes.c_int, [handle_t, ctypes.c_uint8, u8p]),
    "InventoryG2": (ctypes.c_int, [handle_t, ctypes.c_uint8, u8p, u16p, u16p]),
    "ReadCardG2": (ctypes.c_int, [handle_t, ctypes.c_uint8, u8p, ctypes.c_uint8, ctypes.c_uint8,
                                  ctypes.c_uint8, u8p]),
    "WriteCardG2": (ctypes.c_int, [handle_t, ctypes.c_uint8, u8p, ctypes.c_uint8, ctypes.c_uint8,
                                   ctypes.c_uint8, u8p]),
    "WriteEPCG2": (ctypes.c_int, [handle_t, ctypes.c_uint8, u8p, u8p, ctypes.c_uint8]),
    "LockCardG2": (ctypes.c_int, [handle_t, ctypes.c_uint8, u8p, ctypes.c_uint8]),
    "ReadDeviceTime": (ctypes.c_int, [handle_t, ctypes.c_uint8, u8p]),
    "SetDeviceTime": (ctypes.c_int, [handle_t, ctypes.c_uint8, u8p]),
    "RelayOn": (ctypes.c_int, [handle_t, ctypes.c_uint8]),
    "RelayOff": (ctypes.c_int, [handle_t, ctypes.c_uint8]),
    "UpgradeFirmware": (ctypes.c_int, [handle_t, ctypes.c_uint8, u8p, ctypes.c_size_t, u8p,
                                       ctypes.c_size_t, UpgradeProgress, ctypes.c_void_p,
                                       ctypes.c_char_p, ctypes.c_size_t]),
    "StartRead": (ctypes.c_int, [handle_t, ctypes.c_uint8]),
    "StopRead": (ctypes.c_int, [handle_t, ctypes.c_uint8]),
    "DecodeTags": (ctypes.c_int32, [ctypes.c_int32, u8p, ctypes.c_int32, ctypes.c_void_p,
                                    ctypes.c_int32]),
    "EpcUri": (ctypes.c_int, [u8p, ctypes.c_int32, ctypes.c_char_p, ctypes.c_size_t]),
    "GetParams": (ctypes.c_int, [handle_t, ctypes.c_uint8, ctypes.c_char_p, ctypes.c_char_p,
                                 ctypes.c_size_t]),
    "SetParams": (ctypes.c_int, [handle_t, ctypes.c_uint8, ctypes.c_char_p, ctypes.c_char_p,
                                 ctypes.c_char_p, ctypes.c_size_t]),
}

# Functions that libraries of this version may lack (the profile files came later): looked up
# at their first call, so that the rest of the package works with such a library.
_LATER_PROTOTYPES = {
    "ExportProfile": (ctypes.c_int, [handle_t, ctypes.c_uint8, ctypes.c_char_p, ctypes.c_int32,
                                     ctypes.c_char_p, ctypes.c_size_t]),
    "ImportProfile": (ctypes.c_int, [handle_t, ctypes.c_uint8, ctypes.c_char_p, ctypes.c_char_p,
                                     ctypes.c_size_t]),
}


class ReaderError(Exception):
    """A reader could not be opened, did not answer or refused a command; the message says
    which reader and why."""


class Api:
    """The library's functions, by their names after the QnReader_ prefix."""

    def __init__(self, library: ctypes.CDLL) -> None:
        self._library = library
        for name, (result, arguments) in _PROTOTYPES.items():
            function = getattr(library, "QnReader_" + name)
            function.restype, function.argtypes = result, arguments
            setattr(self, name, function)

    def has(self, name: str) -> bool:
        """Whether the library exports QnReader_<name>."""
        return hasattr(self._library, "QnReader_" + name)

    def __getattr__(self, name: str) -> ctypes._CFuncPtr:
        """A function of _LATER_PROTOTYPES, declared at its first use; ReaderError when the
        library lacks it."""
        if name not in _LATER_PROTOTYPES:
            raise AttributeError(name)
        if not self.has(name):
            raise ReaderError(f"{self._library._name} has no QnReader_{name}: this needs a "
                              f"newer libQnReader")
        function = getattr(self._library, "QnReader_" + name)
        function.restype, function.argtypes = _LATER_PROTOTYPES[name]
        setattr(self, name, function)
        return function


_loaded: Api | None = None
_loading = threading.Lock()


def _candidates() -> list[str]:
    """The files to try, in order: under $TAGBENCH_LIB_DIR when it is set, else by name from
    the system's library path."""
    folder = os.environ.get(LIBRARY_DIR_VARIABLE)
    return [os.path.join(folder, name) if folder else name for name in LIBRARY_NAMES]


def api() -> Api:
    """The library, loaded at the first call (so that importing the package needs no
    library). Raises ReaderError when no candidate loads."""
    global _loaded
    with _loading:
        if _loaded is None:
            reasons = []
            for candidate in _candidates():
                try:
                    _loaded = Api(ctypes.CDLL(candidate))
                    break
                except (OSError, AttributeError) as error:
                    reasons.append(str(error))
            else:
                raise ReaderError(f"cannot load libQnReader (set {LIBRARY_DIR_VARIABLE} to its "
                                  f"folder): {'; '.join(reasons)}")
        return _loaded


def buffer(data: bytes) -> ctypes.Array:
    """A C copy of `data` for a `const uint8_t *` argument."""
    return (ctypes.c_uint8 * len(data)).from_buffer_copy(data)
