"""Tag records: how the bytes a reader delivers become tags.

The rules mirror the program's own decoding in model/tag_record.cpp (namespace
tagrecord), so a script and the program's tag lists agree on every record, including the
malformed ones both of them drop.
"""
from __future__ import annotations

import struct
from dataclasses import dataclass

# The limits of one answer-mode inventory result (tagrecord::walkByteLimit, walkCountLimit).
WALK_BYTE_LIMIT = 1400
INVENTORY_COUNT_LIMIT = 50
# An active-mode report allows twice the tags of an inventory result (activeCountLimit).
ACTIVE_COUNT_LIMIT = 100

TEMPERATURE_TYPE = 2
_LOWEST_READING = -40.0
_HIGHEST_READING = 150.0
_NO_READING = b"\xEE\xEE\xEE\xEE"
# Type, antenna and RSSI around the EPC; a temperature adds four bytes.
_PLAIN_OVERHEAD = 3
_TEMPERATURE_BYTES = 4
# The program shows a temperature as "%f", six decimals.
_TEMPERATURE_DIGITS = 6


@dataclass(frozen=True)
class RecordRules:
    """Which record bodies are accepted and how they are read (tagrecord::RecordRules)."""

    min_length: int
    max_length: int
    honours_temperature: bool


# The temperature inventory page's rules: inventory() reads type-2 temperatures too.
INVENTORY_RULES = RecordRules(4, 32, True)
# The active read and active temperature pages' rules.
ACTIVE_RULES = RecordRules(2, 32, True)


@dataclass(frozen=True)
class TagRecord:
    """One tag as a reader reported it.

    Attributes:
        type: the record's type byte (2: a temperature tag).
        antenna: the antenna that saw the tag.
        epc: the EPC as upper-case hex digits.
        rssi: the signal strength byte.
        body: the record body as delivered (without its length byte).
        temperature: degrees Celsius of a type-2 record, or None (no valid reading, or
            another type).
    """

    type: int
    antenna: int
    epc: str
    rssi: int
    body: bytes
    temperature: float | None = None


def temperature_of(four: bytes) -> float | None:
    """The reading of four temperature bytes (IEEE 754 single, little-endian).

    None for EE EE EE EE (no reading), not-a-number and anything outside -40 < t < 150.
    Mirrors tagrecord::temperatureText.
    """
    if four == _NO_READING:
        return None
    (celsius,) = struct.unpack("<f", four)
    # Written so that not-a-number fails the test too.
    if not _LOWEST_READING < celsius < _HIGHEST_READING:
        return None
    return round(celsius, _TEMPERATURE_DIGITS)


def decode(body: bytes, rules: RecordRules) -> TagRecord | None:
    """The tag of one record body, or None when its length is outside the rules or leaves no
    room for the EPC. Mirrors tagrecord::decode."""
    size = len(body)
    if size < rules.min_length or size > rules.max_length or size < _PLAIN_OVERHEAD:
        return None
    trailer = 1
    temperature = None
    if rules.honours_temperature and body[0] == TEMPERATURE_TYPE:
        if size < _PLAIN_OVERHEAD + _TEMPERATURE_BYTES:
            return None
        temperature = temperature_of(bytes(body[-_TEMPERATURE_BYTES:]))
        trailer += _TEMPERATURE_BYTES
    return TagRecord(type=body[0], antenna=body[1], epc=bytes(body[2:size - trailer]).hex().upper(),
                     rssi=body[size - trailer], body=bytes(body), temperature=temperature)


def _walk(records: bytes, count: int) -> list[bytes]:
    """Up to `count` record bodies, ending before the first that would run past byte 1400 or
    past `records` (the walk of tagrecord::walkInventory and walkActiveReport)."""
    bodies = []
    end = min(WALK_BYTE_LIMIT, len(records))
    position = 0
    for _ in range(count):
        if position >= end:
            break
        following = position + records[position] + 1
        if following > end:
            break
        bodies.append(bytes(records[position + 1:following]))
        position = following
    return bodies


def walk_inventory(records: bytes, byte_length: int, count: int) -> list[bytes]:
    """The record bodies of one inventory result: none when count is 0 or above 50 or
    byte_length above 1400. `records` is the library's whole record buffer, as the program
    walks it. Mirrors tagrecord::walkInventory."""
    if count == 0 or count > INVENTORY_COUNT_LIMIT or byte_length > WALK_BYTE_LIMIT:
        return []
    return _walk(records, count)


def walk_active_report(records: bytes, length_value: int, count: int) -> list[bytes]:
    """The record bodies of one active-mode report: none when count is 0 or above 100 or the
    report's length value above 1400. Mirrors tagrecord::walkActiveReport."""
    if count <= 0 or count > ACTIVE_COUNT_LIMIT or length_value > WALK_BYTE_LIMIT:
        return []
    return _walk(records, count)


def decode_all(bodies: list[bytes], rules: RecordRules) -> list[TagRecord]:
    """The tags of the bodies the rules accept, in order."""
    tags = (decode(body, rules) for body in bodies)
    return [tag for tag in tags if tag is not None]
