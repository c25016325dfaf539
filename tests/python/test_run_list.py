"""Process lists from Python, against the command-line runner, and the example script."""

import os
import pathlib
import subprocess
import sys

import numpy as np
import pytest

import cellvane
from conftest import EXAMPLES, SOURCE


def run_program(runner, *arguments, cwd):
    done = subprocess.run([runner, *map(str, arguments)], cwd=cwd, capture_output=True,
                          text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    return done


def test_run_list_and_the_python_flow_write_the_runners_document(runner, trench_list,
                                                                 monkeypatch):
    folder = trench_list.parent
    run_program(runner, trench_list, "--output", "by-runner.cvx", cwd=folder)
    monkeypatch.chdir(folder)
    document = cellvane.run_list(trench_list, threads=2)
    document.save(folder / "by-run-list.cvx")
    expected = (folder / "by-runner.cvx").read_bytes()
    assert (folder / "by-run-list.cvx").read_bytes() == expected
    assert (folder / "trench.png").exists()  # the list's "Save Image" step

    # The same steps as method calls: examples/flow.py's trench.
    sys.path.insert(0, str(EXAMPLES))
    try:
        import flow
    finally:
        sys.path.remove(str(EXAMPLES))
    out = folder / "python"
    out.mkdir()
    flow.build_trench(out)
    assert (out / "trench.cvx").read_bytes() == expected


def test_settings_input_and_threads(runner, trench_list, tmp_path, monkeypatch):
    folder = trench_list.parent
    monkeypatch.chdir(folder)
    run_program(runner, trench_list, "--set", "2.Thickness=5", "--output", "thick.cvx",
                cwd=folder)
    thick = cellvane.run_list(trench_list, set={"2.Thickness": 5}, threads=1)
    thick.save(folder / "thick-python.cvx")
    assert (folder / "thick-python.cvx").read_bytes() == (folder / "thick.cvx").read_bytes()

    # From a document: a list without "Create Substrate" works on the input's volume.
    start = cellvane.Document()
    start.create_substrate(size=(60, 60, 40), substrate_size=(60, 60, 20), material="Si")
    start.save(folder / "start.cvx")
    again = cellvane.run_list(trench_list, input=folder / "start.cvx")
    assert len(again.volumes) == 2  # the input's volume and the one the list creates


def test_run_list_errors(trench_list, tmp_path):
    for bad, error, message in [
            (dict(path=tmp_path / "missing.plst"), OSError, "missing.plst"),
            (dict(path=trench_list, input=tmp_path / "missing.cvx"), OSError, "missing.cvx"),
            (dict(path=trench_list, set={"9.Thickness": 1}), ValueError, "no step 9"),
            (dict(path=trench_list, set={"2.Thickness": "thick"}), ValueError, "Thickness"),
            (dict(path=trench_list, threads=0), ValueError, "threads"),
            (dict(path=trench_list, threads="2"), TypeError, ""),
    ]:
        with pytest.raises(error, match=message):
            cellvane.run_list(**bad)
    (tmp_path / "refused.plst").write_text(
        trench_list.read_text().replace('parameter-name="Thickness" parameter-type="double" '
                                        'parameter-data="3"',
                                        'parameter-name="Thickness" parameter-type="QString" '
                                        'parameter-data="thick"'))
    with pytest.raises(ValueError, match='"Thickness" holds "thick"'):
        cellvane.run_list(tmp_path / "refused.plst")


def test_example_script_runs_to_the_end(tmp_path):
    environment = dict(os.environ, MPLCONFIGDIR=str(tmp_path / "mpl"))
    done = subprocess.run([sys.executable, str(EXAMPLES / "flow.py"), str(tmp_path / "out")],
                          env=environment, capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    assert "Material volumes:" in done.stdout and "trench floor" in done.stdout
    for name in ("trench.cvx", "trench.png", "trench-section.png"):
        assert (tmp_path / "out" / name).stat().st_size > 0


def test_stub_names_what_the_module_takes():
    sys.path.insert(0, str(SOURCE / "python"))
    try:
        import stubgen
    finally:
        sys.path.remove(str(SOURCE / "python"))
    committed = (SOURCE / "python" / "cellvane.pyi").read_text()
    assert stubgen.stub() == committed, (
        "python/cellvane.pyi is out of date: run python/stubgen.py python/cellvane.pyi with "
        "the built module on PYTHONPATH")
