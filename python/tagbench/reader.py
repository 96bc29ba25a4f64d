"""A reader opened by its address, on libQnReader's handles."""
from __future__ import annotations

import atexit
import contextlib
import ctypes
import datetime
import enum
import os
import json
import threading
import traceback
import weakref
from dataclasses import dataclass
from typing import Callable, Iterator, Union

from . import sightings
from ._library import (EVENT_DATA, TRAFFIC_RECEIVED, UPGRADE_CANCELLED, UPGRADE_COMPLETED,
                       UPGRADE_REFUSED, Callback, ReaderError, UpgradeProgress, api, buffer)
from .sightings import Sighting

# The reader address the commands carry: whichever reader is at the other end.
ANY_READER = 0xFF
SYSTEM_INFO_SIZE = 10
SERIAL_SIZE = 7
SERIAL_SLICE = slice(2, 2 + SERIAL_SIZE)
PASSWORD_SIZE = 4
NO_PASSWORD = b"\0\0\0\0"
# "64 KiB is always enough" for one record's fields (QnReader.h).
PARAMS_TEXT_SIZE = 64 * 1024
ERROR_SIZE = 512
# The records by the names tagbench-cli gives them (its commands params, net and special), and
# by the library's names.
RECORD_NAMES = {"device": "device", "params": "device", "net": "network", "network": "network",
                "special": "special"}
# An answer frame: "JQ", length (2), address, command, status, data.
ANSWER_COMMAND_OFFSET = 5
ANSWER_STATUS_OFFSET = 6
INVENTORY_COMMAND = 0x01
STATUS_SUCCESS = 1
# The device clock: year of the century, month, day, hour, minute, second.
CLOCK_SIZE = 6
FIRST_CLOCK_YEAR, LAST_CLOCK_YEAR = 2000, 2099
# Firmware blocks (model/firmware_upgrade.h): the default size, and the largest image any block
# size can carry, so that a file is never read much past it.
DEFAULT_BLOCK_SIZE = 1024
LARGEST_IMAGE = 65536 * 1536
REPORT_SIZE = 4096
WORD_SIZE = 2
MAX_WORDS = 255
MAX_WORD_ADDRESS = 255
# QnReader_SetWaitScale's range, in per cent of the library's answer waits.
PLAIN_WAIT_SCALE = 100
MAX_WAIT_SCALE = 1000

ByteText = Union[str, bytes, bytearray, memoryview]
ReportCallback = Callable[[str, list[Sighting]], None]
# progress(blocks_sent, block_count, bytes_sent, total_bytes)
ProgressCallback = Callable[[int, int, int, int], None]


class Bank(enum.IntEnum):
    """The Gen-2 memory banks."""

    RESERVED = 0
    EPC = 1
    TID = 2
    USER = 3


@dataclass(frozen=True)
class ReaderInfo:
    """A reader's identity.

    Attributes:
        serial: the serial number, 14 upper-case hex digits.
        type: the type byte (the serial number's first byte), which names the family.
        family: the family's name ("fir", "hazel", ..., "unknown").
        firmware: the firmware version, "major.minor".
        hardware: the hardware version, "major.minor".
    """

    serial: str
    type: int
    family: str
    firmware: str
    hardware: str


def _version(byte: int) -> str:
    """A version byte as text: high nibble major, low nibble minor."""
    return f"{byte >> 4}.{byte & 0x0F}"


def _bytes_of(value: ByteText, what: str) -> bytes:
    """Hex text (spaces allowed between bytes) or bytes, as bytes."""
    if isinstance(value, str):
        try:
            return bytes.fromhex(value)
        except ValueError:
            raise ValueError(f"{what} {value!r} is not hex text (two digits a byte)") from None
    if isinstance(value, (bytes, bytearray, memoryview)):
        return bytes(value)
    raise TypeError(f"{what} must be hex text or bytes, not {type(value).__name__}")


def _password(value: ByteText) -> ctypes.Array:
    """The 4-byte access password as a C buffer."""
    password = _bytes_of(value, "password")
    if len(password) != PASSWORD_SIZE:
        raise ValueError(f"the password has {len(password)} bytes instead of {PASSWORD_SIZE}")
    return buffer(password)


def _words(data: bytes, what: str) -> int:
    """The count of 16-bit words in `data`, which must be 1 to 255 whole words."""
    if len(data) % WORD_SIZE or not WORD_SIZE <= len(data) <= MAX_WORDS * WORD_SIZE:
        raise ValueError(f"{what} has {len(data)} bytes; tags take whole 16-bit words "
                         f"(an even count of 2 to {MAX_WORDS * WORD_SIZE} bytes)")
    return len(data) // WORD_SIZE


def _checked(name: str, value: int, low: int, high: int) -> int:
    """`value` when it is an integer from low to high."""
    if isinstance(value, bool) or not isinstance(value, int) or not low <= value <= high:
        raise ValueError(f"{name} must be an integer from {low} to {high}, not {value!r}")
    return value


def _record_name(record: str) -> bytes:
    if record not in RECORD_NAMES:
        raise ValueError(f"no record {record!r}: device (or params), net or special")
    return RECORD_NAMES[record].encode()


def _assignment(name: str, value: bool | int | str) -> str:
    """One "name=value" line of QnReader_SetParams (flags as 1 or 0)."""
    if isinstance(value, bool):
        text = "1" if value else "0"
    elif isinstance(value, (int, str)):
        text = str(value)
    else:
        raise TypeError(f"{name} takes a bool, int or str, not {type(value).__name__}")
    # Assignments are separated by line ends.
    if any(separator in text for separator in "\n\r"):
        raise ValueError(f"the value of {name} holds a line end: {text!r}")
    return f"{name}={text}"


class _ReportSink:
    """Hands active-mode reports from the library's receive thread to the user's callback.

    The C callback is this object's bound method, registered once per reader and alive as
    long as the reader: the library may still be inside it right after a new callback was set.
    It holds no reference to the reader, so a forgotten reader is still collected and closed.
    """

    def __init__(self) -> None:
        self.callback: ReportCallback | None = None
        self.c_callback = Callback(self.deliver)

    # Runs on the library's receive thread; nothing may propagate into C.
    def deliver(self, _reader: int | None, _user: int | None, event: int, value: int,
                data: ctypes._Pointer, length: int, serial7: ctypes._Pointer) -> None:
        callback = self.callback
        if event != EVENT_DATA or callback is None:
            return
        try:
            serial = ctypes.string_at(serial7, SERIAL_SIZE) if serial7 else b""
            tags = sightings.decode(sightings.TAGS_REPORT, data, length) if data else []
            callback(serial.hex().upper(), tags)
        except BaseException:  # a callback from C has nowhere to raise to
            traceback.print_exc()


class _InventoryAnswers:
    """Tells an empty field from a silent reader. The library's inventory fails alike when the
    reader answered with a failure status (what a reader says when no tag answered) and when no
    answer came; the traffic callback shows whether such an answer arrived. It is
    registered only while an inventory runs, one inventory of a reader at a time, so the answer
    seen is that inventory's own. Like _ReportSink, the C callback lives as long as the reader.
    """

    def __init__(self) -> None:
        self.lock = threading.Lock()
        self.no_tag = False
        self.c_callback = Callback(self.deliver)

    # Runs on a library thread or the command's own; nothing may propagate into C.
    def deliver(self, _reader: int | None, _user: int | None, event: int, value: int,
                data: ctypes._Pointer, length: int, _serial7: ctypes._Pointer) -> None:
        try:
            if (event == EVENT_DATA and value == TRAFFIC_RECEIVED and data
                    and length > ANSWER_STATUS_OFFSET
                    and data[ANSWER_COMMAND_OFFSET] == INVENTORY_COMMAND
                    and data[ANSWER_STATUS_OFFSET] != STATUS_SUCCESS):
                self.no_tag = True
        except BaseException:  # a callback from C has nowhere to raise to
            traceback.print_exc()


class _UpgradeProgress:
    """Hands the library's progress calls to the user's callback; an exception the callback
    raises stops the upgrade before the next block and is raised again afterwards."""

    def __init__(self, progress: ProgressCallback | None) -> None:
        self.progress = progress
        self.raised: BaseException | None = None
        self.c_callback = UpgradeProgress(self.step) if progress else UpgradeProgress()

    def step(self, _user: int | None, blocks_sent: int, block_count: int, bytes_sent: int,
             total_bytes: int) -> int:
        try:
            self.progress(blocks_sent, block_count, bytes_sent, total_bytes)
            return 1
        except BaseException as error:  # a callback from C has nowhere to raise to
            self.raised = error
            return 0


def _clock_bytes(when: datetime.datetime) -> ctypes.Array:
    """The device clock's six bytes of a time in 2000 to 2099."""
    if not isinstance(when, datetime.datetime):
        raise TypeError(f"the time must be a datetime.datetime, not {type(when).__name__}")
    if not FIRST_CLOCK_YEAR <= when.year <= LAST_CLOCK_YEAR:
        raise ValueError(f"the reader's clock holds {FIRST_CLOCK_YEAR} to {LAST_CLOCK_YEAR}, "
                         f"not {when.year}")
    return buffer(bytes([when.year % 100, when.month, when.day, when.hour, when.minute,
                         when.second]))


def _read_image(path: str | os.PathLike[str]) -> bytes:
    """The firmware file, read up to one byte past the largest image the blocks can carry (the
    library then says it is too large) rather than held whole."""
    with open(path, "rb") as image:
        return image.read(LARGEST_IMAGE + 1)


# Readers still open: closed before the interpreter goes away, since a library thread calling
# into a finalising interpreter would crash the process.
_open_readers: "weakref.WeakSet[Reader]" = weakref.WeakSet()


@atexit.register
def _close_open_readers() -> None:
    for reader in list(_open_readers):
        reader.close()


class Reader:
    """One reader, opened by its address; usable as a context manager.

    Commands raise ReaderError when the reader does not answer or refuses, and after
    close(). Any number of readers may be open at once, each used from any thread; one
    reader's commands never wait for another's.
    """

    def __init__(self, address: str, *, wait_scale: int = PLAIN_WAIT_SCALE) -> None:
        """Opens the reader at `address`: "tcp://HOST[:PORT]", "serial:PATH[?baud=N]",
        "usb:N" or "usb:PATH". Raises ReaderError with the library's reason. Each command
        waits `wait_scale` per cent (100 to 1000) of the library's time for its answer, for
        slow lines and busy hosts."""
        self._handle: int | None = None
        self._address = address
        self._state = threading.Condition()
        self._users = 0
        self._reports = _ReportSink()
        self._inventory_answers = _InventoryAnswers()
        if not isinstance(address, str):
            raise TypeError(f"the address must be text, not {type(address).__name__}")
        _checked("wait_scale", wait_scale, PLAIN_WAIT_SCALE, MAX_WAIT_SCALE)
        error = ctypes.create_string_buffer(ERROR_SIZE)
        handle = api().Open(address.encode(), error, ERROR_SIZE)
        if not handle:
            raise ReaderError(error.value.decode(errors="replace") or f"{address}: cannot open")
        self._handle = handle
        api().SetWaitScale(handle, wait_scale)
        _open_readers.add(self)

    @property
    def address(self) -> str:
        """The address the reader was opened with."""
        return self._address

    def __repr__(self) -> str:
        state = "open" if self._handle else "closed"
        return f"<tagbench.Reader {self._address!r} {state}>"

    def __enter__(self) -> Reader:
        return self

    def __exit__(self, *_exception: object) -> None:
        self.close()

    def __del__(self) -> None:
        self.close()

    def close(self) -> None:
        """Closes the reader; when it returns, no report callback runs any more. A second
        close does nothing. May be called from a report callback."""
        with self._state:
            handle, self._handle = self._handle, None
            if handle is None:
                return
            # The library frees the handle at close; no call may still be using it.
            self._state.wait_for(lambda: self._users == 0)
        api().Close(handle)
        _open_readers.discard(self)

    @contextlib.contextmanager
    def _use(self) -> Iterator[int]:
        """The handle, kept from being closed until the block ends."""
        with self._state:
            if self._handle is None:
                raise ReaderError(f"{self._address}: the reader is closed")
            self._users += 1
            handle = self._handle
        try:
            yield handle
        finally:
            with self._state:
                self._users -= 1
                self._state.notify_all()

    def _call(self, failure: str, name: str, *arguments: object) -> None:
        """Calls QnReader_<name> with the handle first; ReaderError(failure) on 0."""
        with self._use() as handle:
            if not getattr(api(), name)(handle, *arguments):
                raise ReaderError(f"{self._address}: {failure}")

    def info(self) -> ReaderInfo:
        """The reader's serial number, family and versions."""
        info = (ctypes.c_uint8 * SYSTEM_INFO_SIZE)()
        self._call("no answer to the system information request", "GetDeviceSystemInfo",
                   ANY_READER, info)
        serial = bytes(info[SERIAL_SLICE])
        return ReaderInfo(serial=serial.hex().upper(), type=serial[0],
                          family=api().FamilyName(serial[0]).decode(),
                          firmware=_version(info[0]), hardware=_version(info[1]))

    def inventory(self) -> list[Sighting]:
        """One answer-mode inventory: every tag of the reader's answer; [] when the reader
        answered that no tag did. Raises ReaderError when no answer came. (A reader answers a
        refused inventory as it answers an empty field, so a refusal also gives [].)"""
        buffer_ = (ctypes.c_uint8 * sightings.TAG_RECORD_BYTES)()
        byte_length, count = ctypes.c_uint16(), ctypes.c_uint16()
        answers = self._inventory_answers
        with self._use() as handle, answers.lock:
            library = api()
            answers.no_tag = False
            library.SetCallbackDebug(handle, answers.c_callback, None)
            try:
                found = library.InventoryG2(handle, ANY_READER, buffer_, byte_length, count)
            finally:
                library.SetCallbackDebug(handle, Callback(), None)
            if not found:
                if answers.no_tag:
                    return []
                raise ReaderError(f"{self._address}: no answer to the inventory")
        return sightings.decode(sightings.TAGS_INVENTORY, buffer_, byte_length.value)

    def read(self, bank: int, start: int, words: int,
             password: ByteText = NO_PASSWORD) -> bytes:
        """Reads `words` 16-bit words from word `start` of a bank (see Bank) of the first tag
        the reader finds."""
        bank = _checked("bank", bank, Bank.RESERVED, Bank.USER)
        start = _checked("start", start, 0, MAX_WORD_ADDRESS)
        words = _checked("words", words, 1, MAX_WORDS)
        out = (ctypes.c_uint8 * (words * WORD_SIZE))()
        self._call(f"reading {words} words at word {start} of bank {bank} failed", "ReadCardG2",
                   ANY_READER, _password(password), bank, start, words, out)
        return bytes(out)

    def write(self, bank: int, start: int, data: ByteText,
              password: ByteText = NO_PASSWORD) -> None:
        """Writes `data` (whole words, bytes or hex text) from word `start` of a bank."""
        bank = _checked("bank", bank, Bank.RESERVED, Bank.USER)
        start = _checked("start", start, 0, MAX_WORD_ADDRESS)
        data = _bytes_of(data, "data")
        words = _words(data, "data")
        self._call(f"writing {words} words at word {start} of bank {bank} failed", "WriteCardG2",
                   ANY_READER, _password(password), bank, start, words, buffer(data))

    def write_epc(self, epc: ByteText, password: ByteText = NO_PASSWORD) -> None:
        """Gives the first tag the reader finds a new EPC (hex text or bytes, whole words)."""
        epc = _bytes_of(epc, "EPC")
        words = _words(epc, "the EPC")
        self._call(f"writing the EPC {epc.hex().upper()} failed", "WriteEPCG2", ANY_READER,
                   _password(password), buffer(epc), words)

    def lock(self, code: int, password: ByteText = NO_PASSWORD) -> None:
        """Locks or unlocks memory of the first tag the reader finds with a lock code (0-255,
        its meaning is the reader's)."""
        code = _checked("code", code, 0, 255)
        self._call(f"locking with code {code} failed", "LockCardG2", ANY_READER,
                   _password(password), code)

    def time(self) -> datetime.datetime:
        """The reader's clock (it keeps local time, without a zone)."""
        clock = (ctypes.c_uint8 * CLOCK_SIZE)()
        self._call("no answer to the clock request", "ReadDeviceTime", ANY_READER, clock)
        year, month, day, hour, minute, second = clock
        try:
            return datetime.datetime(FIRST_CLOCK_YEAR + year, month, day, hour, minute, second)
        except ValueError:
            raise ReaderError(f"{self._address}: the reader's clock reads "
                              f"{bytes(clock).hex(' ').upper()}, which is no time") from None

    def set_time(self, when: datetime.datetime | None = None) -> datetime.datetime:
        """Sets the reader's clock to `when` (default: this computer's local time, to the
        second) and returns the time set."""
        when = (when or datetime.datetime.now()).replace(microsecond=0)
        self._call("the reader did not set its clock", "SetDeviceTime", ANY_READER,
                   _clock_bytes(when))
        return when

    def relay(self, on: bool) -> None:
        """Closes (True) or opens (False) the reader's relay."""
        if on:
            self._call("the reader did not close its relay", "RelayOn", ANY_READER)
        else:
            self._call("the reader did not open its relay", "RelayOff", ANY_READER)

    def firmware_upgrade(self, path: str | os.PathLike[str], password: ByteText | None = None,
                         block_size: int = DEFAULT_BLOCK_SIZE,
                         progress: ProgressCallback | None = None) -> None:
        """Loads the firmware image in the file `path` into the reader: blocks of `block_size`
        bytes (a multiple of 16 up to 1536) from block 0 up, the last padded with 0xFF, each
        resent up to three times, then the end command; with `password` the password-guarded
        commands. `progress(blocks_sent, block_count, bytes_sent, total_bytes)` is called after
        every acknowledged block; an exception it raises stops the upgrade before the next
        block (no end command) and is raised again. ValueError when the block size or the image
        does not fit (nothing sent), ReaderError when the reader did not take a block or the
        end."""
        block_size = _checked("block_size", block_size, 1, LARGEST_IMAGE)
        secret = None if password is None else _password(password)
        image = _read_image(path)
        steps = _UpgradeProgress(progress)
        report = ctypes.create_string_buffer(ERROR_SIZE)
        with self._use() as handle:
            outcome = api().UpgradeFirmware(handle, ANY_READER, buffer(image), len(image), secret,
                                            block_size, steps.c_callback, None, report,
                                            ERROR_SIZE)
        reason = f"{os.fspath(path)}: {report.value.decode(errors='replace')}"
        if outcome == UPGRADE_COMPLETED:
            return
        if outcome == UPGRADE_CANCELLED and steps.raised is not None:
            raise steps.raised
        if outcome == UPGRADE_REFUSED:
            raise ValueError(reason)
        raise ReaderError(f"{self._address}: firmware upgrade from {reason}")

    def profile_export(self, path: str | os.PathLike[str], overwrite: bool = False) -> str:
        """Writes the reader's parameters to a profile file, as the program's profile export
        does; an existing file is kept unless `overwrite`. Returns the library's report."""
        return self._profile("ExportProfile", path, int(bool(overwrite)))

    def profile_import(self, path: str | os.PathLike[str]) -> str:
        """Writes the parameters of a profile file into the reader, with the checks of the
        program's profile import. Returns the library's report."""
        return self._profile("ImportProfile", path)

    def _profile(self, name: str, path: str | os.PathLike[str], *options: int) -> str:
        """Calls QnReader_<name>(handle, address, path, *options, report, size)."""
        report = ctypes.create_string_buffer(REPORT_SIZE)
        with self._use() as handle:
            function = getattr(api(), name)
            done = function(handle, ANY_READER, os.fsencode(path), *options, report, REPORT_SIZE)
        # The report names the file.
        text = report.value.decode(errors="replace")
        if not done:
            raise ReaderError(f"{self._address}: {text or os.fspath(path)}")
        return text

    def params(self, record: str = "device") -> dict[str, bool | int | str]:
        """The fields of a parameter record that the reader's family has, by their names:
        numbers as int, flags as bool, hex fields, addresses and texts as str. The records are
        named as tagbench-cli names them: "device" (or "params"), "net" and "special"
        ("network" also names the net record)."""
        text = ctypes.create_string_buffer(PARAMS_TEXT_SIZE)
        self._call(f"the reader did not give its {record} record (or has none)", "GetParams",
                   ANY_READER, _record_name(record), text, PARAMS_TEXT_SIZE)
        return json.loads(text.value.decode())

    def set_params(self, record: str = "device", /, **fields: bool | int | str) -> None:
        """Changes the named fields of a parameter record and writes it back; the other fields
        keep their values. Values as params() gives them (numbers, flags, hex digits,
        addresses "a.b.c.d"). Nothing changes when a field is unknown or a value does not fit:
        ReaderError says which. Records as params() names them."""
        name = _record_name(record)
        if not fields:
            return
        assignments = "\n".join(_assignment(field, value) for field, value in fields.items())
        error = ctypes.create_string_buffer(ERROR_SIZE)
        with self._use() as handle:
            if not api().SetParams(handle, ANY_READER, name, assignments.encode(), error,
                                   ERROR_SIZE):
                raise ReaderError(f"{self._address}: {error.value.decode(errors='replace')}")

    def on_report(self, callback: ReportCallback | None) -> None:
        """Calls `callback(serial, tags)` for every active-mode report: the reporting reader's
        serial number (14 hex digits) and its tags. It runs on a thread of the library and
        should return quickly; an exception it raises is printed. None stops the calls."""
        with self._use() as handle:
            self._reports.callback = callback
            api().SetCallback(handle, self._reports.c_callback if callback else Callback(), None)

    def start_read(self) -> None:
        """Asks the reader to push reports by itself (active mode)."""
        self._call("the reader did not start active mode", "StartRead", ANY_READER)

    def stop_read(self) -> None:
        """Ends the reader's active mode."""
        self._call("the reader did not stop active mode", "StopRead", ANY_READER)
