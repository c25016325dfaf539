"""Shared fixtures of the Python module's tests. CTest runs each file with the module's build
folder on PYTHONPATH, CELLVANE_RUN naming the runner, in a fresh HOME."""

import os
import pathlib
import shutil

import numpy as np
import pytest

import cellvane

SOURCE = pathlib.Path(os.environ.get("CELLVANE_SOURCE_DIR",
                                     pathlib.Path(__file__).resolve().parents[2]))
EXAMPLES = SOURCE / "examples"


@pytest.fixture
def runner():
    program = os.environ.get("CELLVANE_RUN") or shutil.which("cellvane-run")
    if not program:
        pytest.fail("CELLVANE_RUN names no cellvane-run")
    return program


def wafer(size=(24, 20, 16), substrate_height=8, material="Si"):
    """A new document's volume with a silicon floor."""
    document = cellvane.Document()
    volume = document.create_substrate(size=size, material=material,
                                       substrate_size=(size[0], size[1], substrate_height))
    return volume


@pytest.fixture
def trench_list(tmp_path):
    """trench.plst beside its mask, with the picture step writing into tmp_path."""
    shutil.copy(EXAMPLES / "trench.plst", tmp_path / "trench.plst")
    shutil.copy(EXAMPLES / "trench-mask.png", tmp_path / "trench-mask.png")
    return tmp_path / "trench.plst"


def cells(volume):
    return np.array(volume.materials)
