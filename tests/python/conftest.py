"""Shared fixtures: the release build's folder (SVFPLAYER_BUILD_DIR, default
build/native-release/bin) and the repository's example files."""

import os
import pathlib
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "examples" / "host"))


@pytest.fixture(scope="session")
def build_dir():
    folder = pathlib.Path(os.environ.get("SVFPLAYER_BUILD_DIR",
                                         ROOT / "build" / "native-release" / "bin"))
    if not (folder / ("svfplay" + (".exe" if os.name == "nt" else ""))).exists():
        pytest.fail("no release build in %s (set SVFPLAYER_BUILD_DIR)" % folder)
    return folder


@pytest.fixture(scope="session")
def examples():
    return ROOT / "examples"
