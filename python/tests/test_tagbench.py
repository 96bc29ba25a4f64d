"""The tagbench package against virtual readers (tagbench-sim over TCP, a pseudo-terminal and
the HID tunnel), the record rules it shares with the program, and its offline install.

Run by CTest with TAGBENCH_LIB_DIR (the folder of libQnReader), TAGBENCH_SIM (tagbench-sim)
and PYTHONPATH (this package's folder) set.
"""
from __future__ import annotations

import concurrent.futures
import datetime
import os
import queue
import re
import shutil
import socket
import struct
import subprocess
import sys
import threading
import time
from pathlib import Path
from typing import Callable, Iterator

import pytest

import tagbench
from tagbench import Bank, ReaderError, sightings

PACKAGE_DIR = Path(__file__).resolve().parents[1]
SIM = os.environ.get("TAGBENCH_SIM") or shutil.which("tagbench-sim")
# Generous: the machine may be loaded; a healthy run takes a fraction of it.
DEADLINE = 60.0
HEX = re.compile(r"[0-9A-F]*")
SERIAL = re.compile(r"[0-9A-F]{14}")

needs_sim = pytest.mark.skipif(not SIM, reason="tagbench-sim not found (set TAGBENCH_SIM)")


class Sim:
    """One tagbench-sim process and the endpoints it printed ("tcp 127.0.0.1:PORT", "hid
    127.0.0.1:PORT", "link PATH")."""

    def __init__(self, options: list[str], expected: set[str], log: Path | None = None) -> None:
        stderr = log.open("w") if log else None
        self.process = subprocess.Popen([SIM, *options], stdout=subprocess.PIPE, stderr=stderr,
                                        text=True)
        if stderr:
            stderr.close()
        lines: queue.Queue[str] = queue.Queue()
        threading.Thread(target=lambda: [lines.put(line) for line in self.process.stdout],
                         daemon=True).start()
        self.endpoints: dict[str, str] = {}
        end = time.monotonic() + DEADLINE
        while not expected <= self.endpoints.keys():
            try:
                kind, _, value = lines.get(timeout=max(0.0, end - time.monotonic())).partition(" ")
            except queue.Empty:
                self.stop()
                raise AssertionError(f"tagbench-sim {options} printed only {self.endpoints}")
            self.endpoints[kind] = value.strip()

    def stop(self) -> None:
        self.process.terminate()
        try:
            self.process.wait(timeout=DEADLINE)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


@pytest.fixture
def start_sim(tmp_path: Path) -> Iterator[Callable[..., str]]:
    """Starts virtual readers: start_sim("tcp" | "pty" | "hid", *options, log=None) -> the
    address to open ("tcp://...", "serial:...", "usb:sim:..."); a TCP reader's standard error
    goes to `log` when given. start_sim.started lists them; all are stopped after the test."""
    started: list[Sim] = []

    def start(transport: str, *options: str, log: Path | None = None) -> str:
        if transport == "tcp":
            sim = Sim(["--tcp", "0", *options], {"tcp"}, log)
            address = "tcp://" + sim.endpoints["tcp"]
        elif transport == "pty":
            # A trailing digit: the serial library drops a trailing non-digit of port names.
            link = tmp_path / f"tty{len(started)}"
            sim = Sim(["--pty", "--link", str(link), *options], {"link"})
            address = "serial:" + sim.endpoints["link"]
        else:
            sim = Sim(["--hid", "0", *options], {"hid"})
            listed = [entry for entry in os.environ.get("QNHID_SIM", "").split(",") if entry]
            os.environ["QNHID_SIM"] = ",".join([*listed, sim.endpoints["hid"]])
            address = "usb:sim:" + sim.endpoints["hid"]
        started.append(sim)
        return address

    saved_hid_list = os.environ.get("QNHID_SIM")
    start.started = started
    yield start
    for sim in started:
        sim.stop()
    if saved_hid_list is None:
        os.environ.pop("QNHID_SIM", None)
    else:
        os.environ["QNHID_SIM"] = saved_hid_list


def wait_until(condition: Callable[[], bool], what: str) -> None:
    end = time.monotonic() + DEADLINE
    while not condition():
        assert time.monotonic() < end, f"gave up waiting for {what}"
        time.sleep(0.02)


def check_tag(tag: tagbench.Sighting) -> None:
    """A tag has a hex EPC, its GS1 identity when it has one, and a reading only as a
    temperature tag."""
    assert HEX.fullmatch(tag.epc)
    assert tag.uri is None or tag.uri.startswith("urn:epc:id:")
    assert 0 <= tag.antenna <= 255 and 0 <= tag.rssi <= 255
    if tag.temperature is not None:
        assert tag.type == sightings.TEMPERATURE_TYPE and -40 < tag.temperature < 150


@needs_sim
def test_commands_round_trip_over_tcp(start_sim: Callable[..., str]) -> None:
    with tagbench.open(start_sim("tcp", "--family", "fir", "--tags", "3")) as reader:
        info = reader.info()
        assert SERIAL.fullmatch(info.serial) and info.serial[:2] == "50"
        assert (info.type, info.family, info.firmware, info.hardware) == (0x50, "fir", "2.3", "1.1")

        tags = reader.inventory()
        assert len(tags) == 3 and len({tag.epc for tag in tags}) == 3
        for tag in tags:
            check_tag(tag)

        # Reads and writes reach the first tag the reader finds.
        for start, data, expected in [(0, b"\x01\x23\x45\x67", "01234567"),
                                      (2, "89AB CDEF", "89ABCDEF")]:
            reader.write(Bank.USER, start, data, password="00000000")
            assert reader.read(Bank.USER, start, 2).hex().upper() == expected
        new_epc = "E2801160600002054C8BAA01"
        reader.write_epc(new_epc)
        assert reader.read(Bank.EPC, 2, 6).hex().upper() == new_epc
        assert new_epc in {tag.epc for tag in reader.inventory()}

        for record, change in [("device", {"beeper": False, "filter_time_s": 7}),
                               ("net", {"ip_address": "10.1.2.3", "dhcp": True, "ssid": "Dock;7"}),
                               ("special", {"relay_time": 5, "password": "A1B2C3D4"})]:
            before = reader.params(record)
            assert change.keys() <= before.keys()
            reader.set_params(record, **change)
            assert reader.params(record) == {**before, **change}

        # The library's record names name the same records as tagbench-cli's.
        assert reader.params("params") == reader.params("device")
        assert reader.params("network") == reader.params("net")

        # An unknown field changes nothing and says which field.
        before = reader.params("device")
        with pytest.raises(ReaderError, match="no_such_field"):
            reader.set_params("device", filter_time_s=9, no_such_field=1)
        assert reader.params("device") == before


@needs_sim
def test_readers_on_every_transport_at_once(start_sim: Callable[..., str]) -> None:
    # Each reader its own family (so its own serial number) and its own count of tags.
    expected = {start_sim("tcp", "--family", "fir", "--tags", "2"): ("fir", "50", 2),
                start_sim("pty", "--family", "hazel", "--tags", "3"): ("hazel", "C4", 3),
                start_sim("hid", "--family", "cedar2", "--tags", "4"): ("cedar2", "D1", 4)}

    def use(reader: tagbench.Reader) -> set[tuple[str, str, int]]:
        """What the reader said it is, over ten rounds of identity and inventory."""
        seen = set()
        for _ in range(10):
            info = reader.info()
            seen.add((info.family, info.serial[:2], len(reader.inventory())))
        return seen

    readers = {address: tagbench.open(address) for address in expected}
    # Two threads a reader: one handle's commands are served one after the other.
    with concurrent.futures.ThreadPoolExecutor(2 * len(readers)) as pool:
        answers = {address: [pool.submit(use, reader) for _ in range(2)]
                   for address, reader in readers.items()}
        for address, identity in expected.items():
            for answer in answers[address]:
                assert answer.result(timeout=4 * DEADLINE) == {identity}, address
    for reader in readers.values():
        reader.close()


@needs_sim
def test_reports_reach_their_reader_with_its_serial(start_sim: Callable[..., str],
                                                    capfd: pytest.CaptureFixture[str]) -> None:
    pushing = tagbench.open(start_sim("tcp", "--family", "hazel", "--active",
                                      "--active-period", "20"))
    # Temperature tags; active mode started by the command.
    started = tagbench.open(start_sim("hid", "--family", "cedar2", "--active-period", "20"))
    # Closes itself from its first report's callback.
    closing = tagbench.open(start_sim("pty", "--active", "--active-period", "20"))
    reports: dict[str, list[tuple[str, list[tagbench.Sighting]]]] = {"pushing": [],
                                                                       "started": []}
    failed_once = threading.Event()
    closed = threading.Event()

    def close_closing(_serial: str, _tags: list[tagbench.Sighting]) -> None:
        closing.close()
        closed.set()

    def collect(name: str) -> Callable[[str, list[tagbench.Sighting]], None]:
        def callback(serial: str, tags: list[tagbench.Sighting]) -> None:
            if name == "pushing" and not failed_once.is_set():
                failed_once.set()
                raise RuntimeError("a failing report callback")
            reports[name].append((serial, tags))
        return callback

    with pushing, started:
        serials = {"pushing": pushing.info().serial, "started": started.info().serial}
        pushing.on_report(collect("pushing"))
        started.on_report(collect("started"))
        closing.on_report(close_closing)
        started.start_read()

        def enough() -> bool:
            temperatures = [tag.temperature for _, tags in reports["started"] for tag in tags]
            return (all(len(reports[name]) >= 3 for name in reports)
                    and any(t is not None for t in temperatures))

        wait_until(enough, "three reports from each reader and one temperature")
        wait_until(closed.is_set, "the reader closed from its callback")
        with pytest.raises(ReaderError, match="closed"):
            closing.info()
        started.stop_read()
        pushing.on_report(None)
        started.on_report(None)

    assert serials["pushing"] != serials["started"]
    for name, received in reports.items():
        for serial, tags in received:
            assert serial == serials[name]
            for tag in tags:
                check_tag(tag)
        assert any(tags for _, tags in received), name
    assert "a failing report callback" in capfd.readouterr().err


def refused_address() -> str:
    """A loopback port that refuses: bound, never listening."""
    with socket.socket() as bound:
        bound.bind(("127.0.0.1", 0))
        return f"tcp://127.0.0.1:{bound.getsockname()[1]}"


@needs_sim
@pytest.mark.parametrize("address, reason", [
    ("", "malformed"),
    ("bogus://127.0.0.1", "malformed"),
    ("tcp://127.0.0.1:99999", "malformed"),
    ("serial:/nonexistent/tty0", "no such device"),
    ("usb:99", "no such device"),
    (None, "refused"),
])
def test_bad_addresses_raise_with_the_reason(address: str | None, reason: str) -> None:
    address = address if address is not None else refused_address()
    with pytest.raises(ReaderError) as raised:
        tagbench.open(address)
    message = str(raised.value)
    assert message.startswith(f"{address}: ") and re.search(reason, message[len(address) + 2:],
                                                            re.IGNORECASE), message


@needs_sim
def test_bad_arguments_and_use_after_close_raise(start_sim: Callable[..., str]) -> None:
    address = start_sim("tcp", "--tags", "1")
    with tagbench.open(address, wait_scale=1000) as patient:
        assert patient.info().serial
    reader = tagbench.open(address)
    bad_arguments = [
        (ValueError, lambda: tagbench.open(address, wait_scale=99)),
        (ValueError, lambda: tagbench.open(address, wait_scale=1001)),
        (ValueError, lambda: reader.write_epc("ABC")),
        (ValueError, lambda: reader.write_epc("E2XY")),
        (ValueError, lambda: reader.write_epc(b"\xE2\x80\x11")),
        (ValueError, lambda: reader.write(Bank.USER, 0, b"")),
        (ValueError, lambda: reader.write(Bank.USER, 256, b"\0\0")),
        (ValueError, lambda: reader.read(4, 0, 1)),
        (ValueError, lambda: reader.read(Bank.USER, 0, 0)),
        (ValueError, lambda: reader.read(Bank.USER, 0, 1, password=b"\0\0")),
        (TypeError, lambda: reader.read(Bank.USER, 0, 1, password=4)),
        (ValueError, lambda: reader.params("bogus")),
        (ValueError, lambda: reader.set_params("device", beeper="1\nwork_mode=1")),
        (TypeError, lambda: reader.set_params("device", filter_time_s=1.5)),
        (ValueError, lambda: reader.lock(256)),
        (ValueError, lambda: reader.set_time(datetime.datetime(2100, 1, 1))),
        (TypeError, lambda: reader.set_time("2026-01-01T00:00:00")),
        (ValueError, lambda: reader.firmware_upgrade(__file__, password="00")),
        (ValueError, lambda: reader.firmware_upgrade(__file__, block_size=0)),
        (FileNotFoundError, lambda: reader.firmware_upgrade("/nonexistent/image.bin")),
    ]
    for error, call in bad_arguments:
        with pytest.raises(error):
            call()
    reader.close()
    reader.close()
    for call in [reader.info, reader.inventory, lambda: reader.read(Bank.EPC, 2, 6),
                 lambda: reader.write(Bank.USER, 0, b"\0\0"), lambda: reader.write_epc("1234"),
                 reader.params, lambda: reader.set_params(beeper=True), reader.start_read,
                 reader.stop_read, lambda: reader.on_report(print), lambda: reader.lock(0),
                 reader.time, reader.set_time, lambda: reader.relay(True),
                 lambda: reader.firmware_upgrade(__file__),
                 lambda: reader.profile_export(os.devnull)]:
        with pytest.raises(ReaderError, match="closed"):
            call()


def record(body: bytes) -> bytes:
    return bytes([len(body)]) + body


def temperature(celsius: float) -> bytes:
    return struct.pack("<f", celsius)


PLAIN = bytes([1, 3, 0xE2, 0x00, 0x11, 0x22, 0x40])
SENSOR = bytes([2, 1, 0xAB, 0xCD, 0x50]) + temperature(25.5)
# 200 bytes that no walk keeps as a tag (a body longer than 32 bytes).
PAD = record(bytes(199))
# The worked example of the GS1 Tag Data Standard (an SGTIN-96).
SGTIN = bytes.fromhex("3074257BF7194E4000001A85")
SGTIN_URI = "urn:epc:id:sgtin:0614141.812345.6789"
# What a report's buffer holds after its records: checksum and bytes of no meaning.
REPORT_TAIL = bytes(12)


def inventory(data: bytes, byte_length: int) -> list[str]:
    return [tag.epc for tag in sightings.decode(sightings.TAGS_INVENTORY, data, byte_length)]


def report(data: bytes) -> list[str]:
    return [tag.epc for tag in
            sightings.decode(sightings.TAGS_REPORT, data + REPORT_TAIL, len(data) + 12)]


@pytest.mark.parametrize("decode, decoded", [
    (lambda: inventory(b"", 0), []),
    (lambda: inventory(record(PLAIN), 8), ["E2001122"]),
    # Every tag of a dense field, however many the answer holds.
    (lambda: inventory(record(PLAIN) * 50, 50 * 8), ["E2001122"] * 50),
    (lambda: inventory(record(PLAIN) * 51, 51 * 8), ["E2001122"] * 51),
    (lambda: inventory(record(PLAIN) * 85, 85 * 8), ["E2001122"] * 85),
    (lambda: inventory(record(PLAIN) * 181, 181 * 8), ["E2001122"] * 181),
    # A last record that runs past the bytes ends the walk; those before it stay.
    (lambda: inventory(record(PLAIN) * 2 + b"\x09\x01", 18), ["E2001122"] * 2),
    (lambda: inventory(record(PLAIN) * 3, 23), ["E2001122"] * 2),
    # A length byte of 0 is the buffer's zero fill, not a record.
    (lambda: inventory(record(PLAIN) + bytes(20), 28), ["E2001122"]),
    # Never past the largest result, 1451 bytes.
    (lambda: inventory(PAD * 7 + record(bytes(49)) + record(PLAIN), 1451 + 8), []),
    (lambda: inventory(PAD * 7 + record(bytes(41)) + record(PLAIN), 1451), ["E2001122"]),
    (lambda: report(record(PLAIN) * 120), ["E2001122"] * 120),
    (lambda: report(record(PLAIN) + record(bytes([1, 2, 0x40]))), ["E2001122", ""]),
    (lambda: report(b""), []),
])
def test_every_whole_record_is_decoded(decode: Callable[[], list[str]],
                                       decoded: list[str]) -> None:
    assert decode() == decoded


@pytest.mark.parametrize("body, source, expected", [
    (PLAIN, sightings.TAGS_INVENTORY, (1, 3, "E2001122", 0x40, None, None)),
    (SENSOR, sightings.TAGS_INVENTORY, (2, 1, "ABCD", 0x50, 25.5, None)),
    (SENSOR[:5] + b"\xEE" * 4, sightings.TAGS_REPORT, (2, 1, "ABCD", 0x50, None, None)),
    (SENSOR[:5] + temperature(150.0), sightings.TAGS_REPORT, (2, 1, "ABCD", 0x50, None, None)),
    (SENSOR[:5] + temperature(-39.5), sightings.TAGS_REPORT, (2, 1, "ABCD", 0x50, -39.5, None)),
    (SENSOR[:5] + temperature(float("nan")), sightings.TAGS_REPORT,
     (2, 1, "ABCD", 0x50, None, None)),
    (bytes([1, 4]) + SGTIN + bytes([0xC8]), sightings.TAGS_INVENTORY,
     (1, 4, SGTIN.hex().upper(), 0xC8, None, SGTIN_URI)),
    (bytes([2, 1, 0x50, 0, 0, 0]), sightings.TAGS_REPORT, None),
    (bytes([1, 2, 0x40]), sightings.TAGS_REPORT, (1, 2, "", 0x40, None, None)),
    (bytes([1, 2, 0x40]), sightings.TAGS_INVENTORY, None),
    (bytes([1, 2]), sightings.TAGS_REPORT, None),
    (bytes([1, 2]) + bytes(31), sightings.TAGS_REPORT, None),
])
def test_record_bodies_decode_as_the_program_reads_them(
        body: bytes, source: int,
        expected: tuple[int, int, str, int, float | None, str | None] | None) -> None:
    data = record(body)
    length = len(data) + (12 if source == sightings.TAGS_REPORT else 0)
    tags = sightings.decode(source, data + REPORT_TAIL, length)
    tag = tags[0] if tags else None
    assert (tag and (tag.type, tag.antenna, tag.epc, tag.rssi, tag.temperature,
                     tag.uri)) == expected


def test_gs1_identities_of_epcs() -> None:
    assert sightings.epc_uri(SGTIN) == SGTIN_URI
    assert sightings.epc_uri(SGTIN[:-1]) is None
    assert sightings.epc_uri(b"") is None
    with pytest.raises(ValueError):
        sightings.decode(7, b"", 0)


README_PATHS = [PACKAGE_DIR / "README.md", PACKAGE_DIR.parent / "README.md"]
WHEEL = os.environ.get("TAGBENCH_WHEEL")


def python_examples(readme: Path) -> list[str]:
    """The ```python blocks of a README."""
    return re.findall(r"^```python\n(.*?)^```$", readme.read_text(), re.MULTILINE | re.DOTALL)


def run_example(python: str, code: str, address: str, environment: dict[str, str],
                folder: Path) -> None:
    """Runs a README example as a script, with the reader's address as its argument and in
    $TAGBENCH_READER; it must end with status 0."""
    script = folder / "example.py"
    script.write_text(code)
    ran = subprocess.run([python, str(script), address], cwd=folder, capture_output=True,
                         text=True, timeout=4 * DEADLINE,
                         env={**environment, "TAGBENCH_READER": address})
    assert ran.returncode == 0, f"{code}\nstdout: {ran.stdout}\nstderr: {ran.stderr}"


@needs_sim
@pytest.mark.parametrize("readme", README_PATHS, ids=lambda path: path.parent.name)
def test_readme_examples_run(start_sim: Callable[..., str], tmp_path: Path, readme: Path) -> None:
    examples = python_examples(readme)
    assert examples, f"{readme} shows no Python example"
    for code in examples:
        run_example(sys.executable, code, start_sim("tcp", "--tags", "3"), dict(os.environ),
                    tmp_path)


@needs_sim
@pytest.mark.skipif(not os.environ.get("TAGBENCH_LIB_DIR"), reason="set TAGBENCH_LIB_DIR")
def test_reader_info_example_takes_the_packages_buffer_size(
        start_sim: Callable[..., str]) -> None:
    """examples/reader_info.py runs ten inventories through the one-reader library into a
    buffer of the size the package names, not a copy of its number."""
    example = PACKAGE_DIR.parent / "examples" / "reader_info.py"
    assert str(sightings.TAG_RECORD_BYTES) not in example.read_text()
    port = start_sim("tcp", "--tags", "3").rpartition(":")[2]
    ran = subprocess.run([sys.executable, str(example), "--lib-dir",
                          os.environ["TAGBENCH_LIB_DIR"], "tcp", "127.0.0.1", port],
                         capture_output=True, text=True, timeout=DEADLINE)
    assert ran.returncode == 0, ran.stdout + ran.stderr
    assert "inventories with tags: 10 of 10" in ran.stdout.splitlines()


def interpreters() -> list[str]:
    """This interpreter and the first python3 on the PATH (it may be one without the
    distribution's setuptools: the wheel needs none)."""
    found = [sys.executable, shutil.which("python3")]
    return list(dict.fromkeys(path for path in found if path))


@needs_sim
@pytest.mark.skipif(not WHEEL, reason="no wheel built (set TAGBENCH_WHEEL)")
@pytest.mark.parametrize("python", interpreters())
def test_the_wheel_installs_offline_and_runs_the_readme(start_sim: Callable[..., str],
                                                        tmp_path: Path, python: str) -> None:
    assert Path(WHEEL).is_file(), f"{WHEEL} was not built (cmake --build: tagbench_python_wheel)"
    venv = tmp_path / "venv"
    environment = {name: value for name, value in os.environ.items()
                   if not name.startswith(("PIP_", "PYTHON"))}
    # No system packages, no index: what the wheel brings is all there is.
    subprocess.run([python, "-m", "venv", str(venv)], check=True, env=environment)
    venv_python = str(venv / "bin" / "python")
    subprocess.run([venv_python, "-m", "pip", "install", "--quiet", "--no-index",
                    "--disable-pip-version-check", WHEEL], check=True, cwd=tmp_path,
                   env=environment)
    installed = subprocess.run(
        [venv_python, "-c", "import tagbench; print(tagbench.__file__, tagbench.__version__)"],
        check=True, cwd=tmp_path, env=environment, capture_output=True, text=True).stdout
    path, version = installed.split()
    assert Path(path).is_relative_to(venv) and version == tagbench.__version__
    run_example(venv_python, python_examples(README_PATHS[0])[0],
                start_sim("tcp", "--tags", "3"), environment, tmp_path)

    # Without the library, opening a reader says where it looked.
    environment["TAGBENCH_LIB_DIR"] = str(tmp_path)
    failed = subprocess.run([venv_python, "-c", "import tagbench; tagbench.open('tcp://x')"],
                            cwd=tmp_path, env=environment, capture_output=True, text=True)
    assert "cannot load libQnReader" in failed.stderr and str(tmp_path) in failed.stderr


@needs_sim
@pytest.mark.parametrize("transport, options, tags", [
    ("tcp", ["--tags", "0"], []),
    ("pty", ["--tags", "0"], []),
    # A refusal reads as an empty field: the same failure status.
    ("tcp", ["--tags", "2", "--fail-status"], []),
    # An answer to another command is no answer.
    ("tcp", ["--tags", "2", "--wrong-echo"], None),
])
def test_an_empty_field_is_no_tags_and_a_dead_reader_raises(
        start_sim: Callable[..., str], transport: str, options: list[str],
        tags: list[tagbench.TagRecord] | None) -> None:
    with tagbench.open(start_sim(transport, *options)) as reader:
        if tags is None:
            with pytest.raises(ReaderError, match="no answer to the inventory"):
                reader.inventory()
            return
        for _ in range(3):
            assert reader.inventory() == tags
        start_sim.started[-1].stop()
        with pytest.raises(ReaderError, match="no answer to the inventory"):
            reader.inventory()


@needs_sim
@pytest.mark.parametrize("family, call, expected", [
    ("fir", lambda reader: reader.lock(0x12), None),
    # The virtual tag has no access password: a wrong one fails.
    ("fir", lambda reader: reader.lock(0x12, password="11223344"), "locking with code 18"),
    ("fir", lambda reader: reader.relay(True), None),
    ("fir", lambda reader: reader.relay(False), None),
    ("cedar", lambda reader: reader.relay(True), "did not close its relay"),
    ("alder", lambda reader: reader.relay(False), "did not open its relay"),
    ("fir", lambda reader: reader.set_time(datetime.datetime(2031, 12, 31, 23, 59, 58, 999)),
     datetime.datetime(2031, 12, 31, 23, 59, 58)),
])
def test_device_and_lock_commands(start_sim: Callable[..., str], family: str,
                                  call: Callable[[tagbench.Reader], object],
                                  expected: object) -> None:
    with tagbench.open(start_sim("tcp", "--family", family, "--tags", "1")) as reader:
        if isinstance(expected, str):
            with pytest.raises(ReaderError, match=expected):
                call(reader)
            return
        assert call(reader) == expected
        if isinstance(expected, datetime.datetime):
            # The clock runs on from the time set.
            assert datetime.timedelta(0) <= reader.time() - expected < datetime.timedelta(
                seconds=DEADLINE)


@needs_sim
def test_set_time_defaults_to_the_local_time(start_sim: Callable[..., str]) -> None:
    with tagbench.open(start_sim("tcp")) as reader:
        before = datetime.datetime.now().replace(microsecond=0)
        set_to = reader.set_time()
        assert before <= set_to <= datetime.datetime.now()
        assert set_to <= reader.time() <= set_to + datetime.timedelta(seconds=DEADLINE)


UPGRADE_DATA, UPGRADE_END, UPGRADE_DATA_IN, UPGRADE_END_IN = 0x33, 0x34, 0x36, 0x37
# Request frames: "ZK", length (2), address, command, data; answers: status after the command.
REQUEST_DATA_OFFSET = 6


def upgrade_traffic(log: Path) -> list[tuple[int, bytes, bool]]:
    """The upgrade requests tagbench-sim -v logged: (command, data, acknowledged)."""
    traffic = []
    for line in log.read_text().splitlines():
        match = re.fullmatch(r"request ([0-9A-F ]+) -> answer ([0-9A-F ]+|\(none\))", line)
        if not match:
            continue
        request = bytes.fromhex(match[1])
        answer = bytes.fromhex(match[2]) if match[2] != "(none)" else b""
        if request[5] in (UPGRADE_DATA, UPGRADE_END, UPGRADE_DATA_IN, UPGRADE_END_IN):
            traffic.append((request[5], request[REQUEST_DATA_OFFSET:-1],
                            len(answer) > 6 and answer[6] == 1))
    return traffic


def received_image(traffic: list[tuple[int, bytes, bool]]) -> bytes | None:
    """The image the reader took: its acknowledged blocks in order, when the end command was
    acknowledged last; else None."""
    blocks = {}
    for command, data, acknowledged in traffic:
        if command in (UPGRADE_DATA_IN, UPGRADE_END_IN):
            data = data[4:]  # the password
        if command in (UPGRADE_DATA, UPGRADE_DATA_IN) and acknowledged:
            blocks[int.from_bytes(data[1:3], "big")] = data[3:3 + 16 * data[0]]
    if not traffic or traffic[-1][0] not in (UPGRADE_END, UPGRADE_END_IN) or not traffic[-1][2]:
        return None
    return b"".join(blocks[number] for number in sorted(blocks))


def stop_at_block(stop: int) -> Callable[[int, int, int, int], None]:
    def progress(blocks_sent: int, _count: int, _sent: int, _total: int) -> None:
        if blocks_sent == stop:
            raise KeyboardInterrupt("stopped by the progress callback")
    return progress


@needs_sim
@pytest.mark.parametrize("options, upgrade, outcome", [
    ([], {"block_size": 64}, None),
    ([], {"block_size": 1536, "password": "00000000"}, None),
    ([], {"block_size": 100}, ValueError("not a multiple of 16")),
    ([], {"block_size": 64, "progress": stop_at_block(2)},
     KeyboardInterrupt("stopped by the progress callback")),
    (["--fail-status"], {"block_size": 64},
     ReaderError("block 0 was not acknowledged after 4 tries")),
])
def test_firmware_upgrade(start_sim: Callable[..., str], tmp_path: Path, options: list[str],
                          upgrade: dict[str, object], outcome: BaseException | None) -> None:
    # 3.5 blocks of 64 bytes; the last one padded to 16 bytes with 0xFF.
    image = bytes(range(256))[:200] + b"\x5A" * 3
    path = tmp_path / "image.bin"
    path.write_bytes(image)
    log = tmp_path / "sim.log"
    steps: list[tuple[int, int, int, int]] = []
    upgrade.setdefault("progress", lambda *step: steps.append(step))
    with tagbench.open(start_sim("tcp", "-v", *options, log=log)) as reader:
        if outcome is None:
            reader.firmware_upgrade(path, **upgrade)
        else:
            with pytest.raises(type(outcome), match=str(outcome.args[0])):
                reader.firmware_upgrade(path, **upgrade)
    # Each request is logged before its answer goes out.
    traffic = upgrade_traffic(log)
    if outcome is None:
        padded = image + b"\xFF" * 5
        assert received_image(traffic) == padded
        size = upgrade["block_size"]
        count = -(-len(padded) // size)
        assert steps == [(n, count, min(n * size, len(padded)), len(padded))
                         for n in range(1, count + 1)]
        assert all(command == (UPGRADE_DATA_IN if "password" in upgrade else UPGRADE_DATA)
                   for command, _, _ in traffic[:-1])
    elif isinstance(outcome, ValueError):
        assert traffic == []
    elif isinstance(outcome, KeyboardInterrupt):
        assert [data[1:3] for _, data, _ in traffic] == [b"\0\0", b"\0\1"]
    else:
        assert [(command, data[1:3]) for command, data, _ in traffic] == [(UPGRADE_DATA,
                                                                           b"\0\0")] * 4


@needs_sim
def test_profiles_through_the_library(start_sim: Callable[..., str], tmp_path: Path) -> None:
    library = tagbench._library.api()
    if not (library.has("ExportProfile") and library.has("ImportProfile")):
        pytest.skip("this libQnReader has no QnReader_ExportProfile/ImportProfile yet")
    profile = tmp_path / "reader.ini"
    with tagbench.open(start_sim("tcp", "--family", "fir")) as reader:
        reader.set_params("device", filter_time_s=7, beeper=True)
        saved = reader.params("device")
        reader.profile_export(profile)
        assert profile.stat().st_size > 0
        with pytest.raises(ReaderError, match=str(profile)):
            reader.profile_export(profile)
        reader.profile_export(profile, overwrite=True)
        reader.set_params("device", filter_time_s=2, beeper=False)
        reader.profile_import(profile)
        assert reader.params("device") == saved
        with pytest.raises(ReaderError, match="nonexistent"):
            reader.profile_import(tmp_path / "nonexistent.ini")
