"""Studies run as Slurm job arrays on the test cluster that the CTest fixture started.

Each test checks what a user of a cluster relies on: a variant computed on a node is the
same as one computed here, a cancelled array loses no finished variant and its rerun runs
exactly the rest, a refused value fails its variant alone.
"""

import json
import os
import re
import shutil
import signal
import subprocess
import time
from pathlib import Path

import pytest

STUDY = os.environ["CELLVANE_STUDY"]
EXAMPLES = Path(os.environ["CELLVANE_SOURCE_DIR"]) / "examples"
LIST = EXAMPLES / "trench-study.plst"
THICKNESS = "2.Thickness"
DEPTH = "4.Etch Depth"


def study(*arguments, check=None):
    result = subprocess.run([STUDY, *map(str, arguments)], capture_output=True, text=True,
                            timeout=300)
    if check is not None:
        assert result.returncode == check, result.stderr
    return result


def write_table(path, rows):
    path.write_text("id,%s,%s\n" % (THICKNESS, DEPTH)
                    + "".join("%s,%s,%s\n" % row for row in rows))
    return path


def queue(job):
    return subprocess.run(["squeue", "--noheader", "--array", "--jobs=" + job,
                           "--format=%K %t %j"], capture_output=True, text=True).stdout.split("\n")


def jobs_of(folder):
    return json.loads((folder / "slurm" / "jobs.json").read_text())


def metrics(folder, variant):
    return json.loads((folder / "variants" / variant / "metrics.json").read_text())


def wait_until(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.1)
    pytest.fail("waited %d s for %s" % (seconds, what))


def slow_list(work):
    """The example list on taller volumes: a few seconds a variant."""
    listing = LIST.read_text()
    for name, cells in (("Volume Size Z", 1500), ("Substrate Size Z", 750)):
        before = 'name="%s" parameter-type="uint" parameter-data="' % name
        listing = re.sub(re.escape(before) + r"\d+", before + str(cells), listing)
    slow = work / "slow.plst"
    slow.write_text(listing)
    return slow


@pytest.fixture
def work(tmp_path):
    # The list names its mask picture relative to itself; a study takes relative names from
    # the folder it is started in, and the nodes see that folder as this machine does.
    shutil.copy(LIST, tmp_path)
    shutil.copy(EXAMPLES / "trench-mask.png", tmp_path)
    os.chdir(tmp_path)
    return tmp_path


def test_variants_on_the_cluster_match_the_local_engine(work):
    grid = [("t%sd%s" % (t, d), t, d) for t in (1, 3) for d in (6, 10, 14)]
    table = write_table(work / "grid.csv", grid)
    local, cluster = work / "local", work / "cluster"
    study("run", LIST.name, table, "--out", local, "--jobs", 2, "--keep-documents", check=0)
    ran = study("run", LIST.name, table, "--out", cluster, "--engine", "slurm", "--jobs", 2,
                "--keep-documents", check=0)
    # The run follows the array with the local engine's progress line. Tasks this small may
    # all start and end between two polls, so only the bound on the running count is certain
    # here; the cancel test below sees a task running.
    progress = re.findall(r"^(\d) of 6 done, (\d) failed, (\d) running", ran.stderr, re.M)
    assert progress and all(int(running) <= 2 for _, _, running in progress), ran.stderr
    assert re.search(r"^6 of 6 done, 0 failed, 0 running$", ran.stderr, re.M), ran.stderr

    script = (cluster / "slurm" / "array.sh").read_text()
    assert script.startswith("#!/bin/bash\n") and "task" in script
    [submission] = jobs_of(cluster)
    assert submission["ids"] == [row[0] for row in grid]
    for variant, _, _ in grid:
        for name in ("document.cvx", "section.png"):
            mine = (cluster / "variants" / variant / name).read_bytes()
            assert mine == (local / "variants" / variant / name).read_bytes(), (variant, name)
        here, there = metrics(local, variant), metrics(cluster, variant)
        assert there["status"] == "done"
        assert there["metrics"] == here["metrics"]
    status = study("status", cluster, check=0)
    assert status.stdout.startswith("6 of 6 done, 0 failed, 0 running")
    # Nothing left to run: a rerun submits no array.
    again = study("run", LIST.name, table, "--out", cluster, "--engine", "slurm", check=0)
    assert "6 done before, 0 to run" in again.stderr
    assert len(jobs_of(cluster)) == 1


def test_a_cancelled_array_keeps_its_finished_variants_and_the_rerun_runs_the_rest(work):
    # One at a time, so that the cancel meets a running array.
    slow = slow_list(work)
    rows = [("v%d" % i, 1 + i % 3, 4 + 2 * i) for i in range(6)]
    table = write_table(work / "slow.csv", rows)
    folder = work / "cancelled"
    submitted = study("run", slow.name, table, "--out", folder, "--engine", "slurm", "--jobs", 1,
                      "--no-wait", "--slurm-arg=--job-name=cv-cancel-test", check=0)
    [submission] = jobs_of(folder)
    job = submission["job"]
    assert job in submitted.stdout + submitted.stderr
    # The --slurm-arg reached sbatch and wins over the script's own name.
    assert any(line.endswith(" cv-cancel-test") for line in queue(job))
    # A second array of the same study while the first is queued would run variants twice.
    twice = study("run", slow.name, table, "--out", folder, "--engine", "slurm", check=1)
    assert "still queued or running" in twice.stderr

    done = lambda: sorted(p.parent.name for p in (folder / "variants").glob("*/metrics.json"))
    wait_until(lambda: len(done()) >= 1, 90, "the first variant")
    # One job at a time: the status counts the task that runs the next variant.
    status_line = lambda: study("status", folder, check=1).stdout.splitlines()[0]
    wait_until(lambda: re.match(r"[1-5] of 6 done, 0 failed, 1 running", status_line()), 60,
               "a status that counts the running task")
    cancelled = study("cancel", folder, check=0)
    assert queue(job) == [""]
    finished = done()
    assert re.search(r"cancelled %d variants? \(" % (6 - len(finished)), cancelled.stderr), \
        cancelled.stderr
    assert 1 <= len(finished) < 6, "the array ended before the cancel: make its variants slower"
    kept = {v: (folder / "variants" / v / "metrics.json").stat().st_mtime_ns for v in finished}
    after_cancel = study("status", folder, check=1)
    assert re.match(r"%d of 6 done, 0 failed, 0 running" % len(finished), after_cancel.stdout)
    states = dict(line.split(" ")[:2] for line in after_cancel.stdout.splitlines()[1:])
    assert states == {r[0]: "done" if r[0] in finished else "cancelled" for r in rows}
    # Cancelling what is no longer queued is refused, not reported as done.
    assert "neither queued nor running" in study("cancel", folder, check=1).stderr
    # As a node that failed leaves it: a running file of another host, fresh. The array has
    # left the queue, so the rerun runs that variant too.
    unfinished = next(r[0] for r in rows if r[0] not in finished)
    (folder / "variants" / unfinished / "running").write_text("failed-node.example 4242")

    rerun = study("run", slow.name, table, "--out", folder, "--engine", "slurm", "--jobs", 2,
                  check=0)
    assert "%d done before, %d to run" % (len(finished), 6 - len(finished)) in rerun.stderr
    assert jobs_of(folder)[-1]["ids"] == [r[0] for r in rows if r[0] not in finished]
    assert done() == [r[0] for r in rows]
    for variant, mtime in kept.items():
        assert (folder / "variants" / variant / "metrics.json").stat().st_mtime_ns == mtime


def test_a_refused_value_fails_its_variant_while_the_others_finish(work):
    rows = [("thin", 1, 8), ("refused", 2, -5), ("thick", 3, 8)]
    # A folder name that needs quoting in the job script.
    folder = work / "refused value's study"
    ran = study("run", LIST.name, write_table(work / "refused.csv", rows), "--out", folder,
                "--engine", "slurm", check=1)
    assert "2 of 3 done, 1 failed" in ran.stderr
    assert metrics(folder, "thin")["status"] == metrics(folder, "thick")["status"] == "done"
    failed = metrics(folder, "refused")
    assert failed["status"] == "failed" and "Etch Depth" in failed["reason"]
    assert re.search(r"^refused failed.*Etch Depth", study("status", folder, check=1).stdout,
                     re.M)


def test_a_task_killed_on_its_node_is_recorded_failed_with_how_it_ended(work):
    folder = work / "killed"
    table = write_table(work / "one.csv", [("only", 2, 8)])
    run = subprocess.Popen([STUDY, "run", slow_list(work).name, str(table), "--out", str(folder),
                            "--engine", "slurm"], stderr=subprocess.PIPE, text=True)
    running = folder / "variants" / "only" / "running"
    # "HOST PID", once whole.
    wait_until(lambda: running.exists() and len(running.read_text().split()) == 2, 90,
               "the task to start")
    host, pid = running.read_text().split()
    os.kill(int(pid), signal.SIGKILL)
    assert run.wait(timeout=120) == 1
    failed = metrics(folder, "only")
    assert failed["status"] == "failed"
    assert re.match(r"the Slurm task \d+_1 ended FAILED \(exit code 0:9\)", failed["reason"])
    assert "only failed: the Slurm task" in run.stderr.read()
    assert not running.exists()
