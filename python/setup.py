"""Installs the tagbench package: `pip install ./python`. Pure Python over libQnReader, so
the distribution's setuptools builds it without a network (no pyproject.toml, hence no
isolated build environment to download)."""
import re
from pathlib import Path

from setuptools import setup

HERE = Path(__file__).resolve().parent
VERSION = re.search(r'^__version__ = "([^"]+)"$', (HERE / "tagbench" / "__init__.py").read_text(),
                    re.MULTILINE).group(1)

setup(
    name="tagbench",
    version=VERSION,
    description="UHF RFID readers from Python: many readers at once over libQnReader",
    long_description=(HERE / "README.md").read_text(),
    long_description_content_type="text/markdown",
    packages=["tagbench"],
    python_requires=">=3.9",
)
