"""Sightings: the tags a reader reported, decoded by libQnReader (QnReader_DecodeTags) exactly
as the program's tag lists and its tools decode them, with the GS1 identity of each EPC
(QnReader_EpcUri)."""
from __future__ import annotations

import ctypes
from dataclasses import dataclass

from ._library import api

# Buffer sizes of QnReaderTypes.h.
TAG_RECORD_BYTES = 1451
EPC_BYTES = 62
MOST_SIGHTINGS = TAG_RECORD_BYTES // 4
EPC_URI_BYTES = 129

# Where records come from (QnTagSource in QnReader.h).
TAGS_INVENTORY = 0
TAGS_REPORT = 1

TEMPERATURE_TYPE = 2
# The program shows a temperature as "%f", six decimals.
_TEMPERATURE_DIGITS = 6


class QnSighting(ctypes.Structure):
    """QnSighting of QnReader.h."""

    _fields_ = [("type", ctypes.c_uint8), ("antenna", ctypes.c_uint8), ("rssi", ctypes.c_uint8),
                ("epcLength", ctypes.c_uint8), ("epc", ctypes.c_uint8 * EPC_BYTES),
                ("hasTemperature", ctypes.c_uint8), ("temperature", ctypes.c_float)]


@dataclass(frozen=True)
class Sighting:
    """One tag as a reader reported it.

    Attributes:
        type: the record's type byte (2: a temperature tag).
        antenna: the antenna that saw the tag.
        epc: the EPC as upper-case hex digits.
        rssi: the signal strength byte.
        temperature: degrees Celsius of a type-2 record, or None (no valid reading, or
            another type).
        uri: the GS1 pure-identity URI of the EPC ("urn:epc:id:sgtin:..."), or None when the
            EPC is not a GS1 identity.
    """

    type: int
    antenna: int
    epc: str
    rssi: int
    temperature: float | None = None
    uri: str | None = None


def epc_uri(epc: bytes) -> str | None:
    """The GS1 pure-identity URI of an EPC, or None."""
    if not epc:
        return None
    text = ctypes.create_string_buffer(EPC_URI_BYTES)
    data = (ctypes.c_uint8 * len(epc)).from_buffer_copy(epc)
    return text.value.decode() if api().EpcUri(data, len(epc), text, EPC_URI_BYTES) else None


def _sighting_of(decoded: QnSighting) -> Sighting:
    epc = bytes(decoded.epc[:decoded.epcLength])
    temperature = (round(decoded.temperature, _TEMPERATURE_DIGITS) if decoded.hasTemperature
                   else None)
    return Sighting(type=decoded.type, antenna=decoded.antenna, epc=epc.hex().upper(),
                    rssi=decoded.rssi, temperature=temperature, uri=epc_uri(epc))


def decode(source: int, records: ctypes.Array | ctypes._Pointer | bytes,
           length: int) -> list[Sighting]:
    """The sightings of an inventory result (TAGS_INVENTORY: `length` is its byte count) or
    an active-mode report (TAGS_REPORT: `records` is the callback's data and `length` its
    length argument), in order: every whole record within the record bytes, whatever the tag
    count said."""
    if isinstance(records, (bytes, bytearray)):
        records = (ctypes.c_uint8 * max(len(records), 1)).from_buffer_copy(bytes(records) or b"\0")
    out = (QnSighting * MOST_SIGHTINGS)()
    count = api().DecodeTags(source, ctypes.cast(records, ctypes.POINTER(ctypes.c_uint8)),
                             length, out, MOST_SIGHTINGS)
    if count < 0:
        raise ValueError(f"cannot decode {length} bytes of source {source}")
    return [_sighting_of(out[index]) for index in range(count)]
