"""Every option a tool's --help lists (and its commands', for tagbench-cli) is an item of
its man page and offered by its bash completion; the man pages name the version; `params set`
completes the record tables' field names, and a named reader's own.

Run by CTest with TAGBENCH_VERSION, TAGBENCH_MAN_DIR (the man pages as built),
TAGBENCH_COMPLETION_DIR, and the tools in TAGBENCH_CLI, TAGBENCH_SIM, TAGBENCH_GATEWAY and
(with the program) TAGBENCH_APP.
"""
from __future__ import annotations

import os
import queue
import re
import subprocess
import threading
from pathlib import Path
from typing import Iterator

import pytest

MAN_DIR = Path(os.environ.get("TAGBENCH_MAN_DIR", "/nonexistent"))
COMPLETION_DIR = Path(os.environ.get("TAGBENCH_COMPLETION_DIR", "/nonexistent"))
BASH_COMPLETION = Path("/usr/share/bash-completion/bash_completion")
TOOLS = {"tagbench-cli": "TAGBENCH_CLI", "tagbench-sim": "TAGBENCH_SIM",
         "tagbench-gateway": "TAGBENCH_GATEWAY", "tagbench": "TAGBENCH_APP"}
COMPLETED_TOOLS = ["tagbench-cli", "tagbench-sim", "tagbench-gateway"]
DEADLINE = 60.0
VERSION = os.environ.get("TAGBENCH_VERSION", "")
# The option column of a help line ("  -r,--reader TEXT    ..."), up to the gap before the text.
OPTION_COLUMN = re.compile(r"^\s+(-\S.*?)(?:\s{2,}|$)")
LONG_OPTION = re.compile(r"--[a-z0-9][a-z0-9-]*")


def program(tool: str) -> str:
    path = os.environ.get(TOOLS[tool])
    if not path:
        pytest.skip(f"{tool} not built here (set {TOOLS[tool]})")
    return path


def help_text(tool: str, *command: str) -> str:
    return subprocess.run([program(tool), *command, "--help"], capture_output=True, text=True,
                          check=True, timeout=DEADLINE).stdout


def help_options(text: str) -> set[str]:
    options = set()
    for line in text.splitlines():
        column = OPTION_COLUMN.match(line)
        if column:
            options.update(LONG_OPTION.findall(column[1]))
    return options


def subcommands(text: str) -> list[str]:
    """The commands a CLI11 help lists under "Subcommands:"."""
    listed = text.partition("\nSubcommands:\n")[2].split("\n\n")[0]
    return [line.split()[0] for line in listed.splitlines() if line.strip()]


def options_by_command(tool: str, *command: str) -> dict[tuple[str, ...], set[str]]:
    """The long options of the tool and of each of its commands, by command path."""
    text = help_text(tool, *command)
    found = {command: help_options(text)}
    for name in subcommands(text):
        found.update(options_by_command(tool, *command, name))
    return found


def man_page(tool: str) -> str:
    page = MAN_DIR / f"{tool}.1"
    assert page.is_file(), f"{page} was not generated"
    return page.read_text()


def man_item_options(page: str) -> set[str]:
    """The long options named on the item lines (the line after .TP or .TQ) of a man page."""
    plain = re.sub(r"\\f[BIRP]", "", page).replace("\\-", "-")
    lines = plain.splitlines()
    items = [following for line, following in zip(lines, lines[1:]) if line in (".TP", ".TQ")]
    return set(LONG_OPTION.findall("\n".join(items)))


def all_options(by_command: dict[tuple[str, ...], set[str]]) -> set[str]:
    return set().union(*by_command.values())


@pytest.mark.parametrize("tool", TOOLS)
def test_man_page_items_are_the_tools_options(tool: str) -> None:
    offered = all_options(options_by_command(tool))
    page = man_page(tool)
    documented = man_item_options(page)
    missing, stale = sorted(offered - documented), sorted(documented - offered)
    assert not missing and not stale, (
        f"{tool}.1: options of --help without an item: {' '.join(missing) or 'none'}; "
        f"items of options --help does not list: {' '.join(stale) or 'none'}")
    assert not re.search(r"@[A-Z_]+@", page), f"{tool}.1 holds an unfilled @...@"
    assert f'"TagBench {VERSION}"' in page, f"{tool}.1 names no version"


def complete(tool: str, words: list[str], environment: dict[str, str] | None = None) -> list[str]:
    """What bash completion offers for the last of `words` (the word being typed)."""
    script = f"""
source {BASH_COMPLETION}
source {COMPLETION_DIR / tool}
COMP_WORDS=("$@")
COMP_CWORD=$(($# - 1))
COMP_LINE="$*"
COMP_POINT=${{#COMP_LINE}}
function=$(complete -p {tool} | sed -n 's/.* -F \\([^ ]*\\) .*/\\1/p')
"$function" {tool} "${{COMP_WORDS[COMP_CWORD]}}" "${{COMP_WORDS[COMP_CWORD - 1]}}"
printf '%s\\n' "${{COMPREPLY[@]}}"
"""
    ran = subprocess.run(["bash", "-c", script, "complete", tool, *words], capture_output=True,
                         text=True, timeout=DEADLINE, env=environment or completion_environment())
    assert ran.returncode == 0, ran.stderr
    return [line for line in ran.stdout.splitlines() if line]


def completion_environment() -> dict[str, str]:
    environment = {name: value for name, value in os.environ.items() if name != "TAGBENCH_READER"}
    # The tool as completion calls it when it asks a reader.
    environment["PATH"] = f"{Path(os.environ['TAGBENCH_CLI']).parent}:{environment['PATH']}"
    return environment


@pytest.mark.skipif(not BASH_COMPLETION.is_file(), reason="bash-completion is not installed")
@pytest.mark.parametrize("tool", COMPLETED_TOOLS)
def test_completion_offers_every_option(tool: str) -> None:
    missing = {}
    for command, options in options_by_command(tool).items():
        offered = set(complete(tool, [*command, "--"]))
        if options - offered:
            missing[" ".join(command) or "(no command)"] = " ".join(sorted(options - offered))
    assert not missing, f"{tool} completion lacks: {missing}"


@pytest.fixture
def sim_address() -> Iterator[str]:
    """A Birch virtual reader over TCP (its device record lacks many Fir fields)."""
    sim = subprocess.Popen([program("tagbench-sim"), "--tcp", "0", "--family", "birch"],
                           stdout=subprocess.PIPE, text=True)
    lines: queue.Queue[str] = queue.Queue()
    threading.Thread(target=lambda: [lines.put(line) for line in sim.stdout], daemon=True).start()
    try:
        kind, _, endpoint = lines.get(timeout=DEADLINE).partition(" ")
        assert kind == "tcp", kind
        yield "tcp://" + endpoint.strip()
    finally:
        sim.terminate()
        sim.wait(timeout=DEADLINE)


@pytest.mark.skipif(not BASH_COMPLETION.is_file(), reason="bash-completion is not installed")
def test_params_set_completes_field_names(sim_address: str) -> None:
    cli = program("tagbench-cli")
    table_names = set(complete("tagbench-cli", ["params", "set", ""]))
    assert {"rf_power_dbm=", "work_mode=", "filter_time_s=", "beeper="} <= table_names
    assert "ip_address=" in complete("tagbench-cli", ["net", "set", "ip_"])
    assert complete("tagbench-cli", ["params", "set", "rf_power_dbm=2"]) == []

    reader_names = {line.partition("=")[0] + "=" for line in subprocess.run(
        [cli, "-r", sim_address, "params", "get"], capture_output=True, text=True, check=True,
        timeout=DEADLINE).stdout.splitlines()}
    for words, environment in [
            (["-r", sim_address, "params", "set", ""], None),
            (["params", "set", ""], {**completion_environment(), "TAGBENCH_READER": sim_address})]:
        assert set(complete("tagbench-cli", words, environment)) == reader_names
    assert reader_names < table_names
