#!/usr/bin/python3
"""bench/peers.py reads every row it tables from our benchmark binary, whether or not a
benchmark carries a fixed iteration count in its name, and turns the flux rows into rays per
second of the wall clock and of the CPU time. The binary here is a stand-in that filters its
benchmarks by the regular expression it is given, as the real one does."""

import os
import stat
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import peers  # noqa: E402

STAND_IN = r'''#!/usr/bin/python3
import json, re, sys
names = ["IsotropicDeposition10/2/real_time", "MarchingCubesBuild/2/real_time",
         "FluxRays64/1/iterations:1/real_time", "FluxMap256/2/iterations:1/real_time",
         "FluxEtching3/2/iterations:1/real_time"]
args = dict(a[2:].split("=", 1) for a in sys.argv[1:])
rows = []
for name in names:
    if re.search(args["benchmark_filter"], name):
        for i in range(int(args["benchmark_repetitions"])):
            rows.append({"run_name": name, "run_type": "iteration", "real_time": 2000.0 + i,
                         "all_threads_cpu_ms": 500.0 + i, "rays": 1.0e6,
                         "rays_per_second": 1.0e6 / (2.0 + i / 1000.0), "triangles": 7})
print(json.dumps({"benchmarks": rows}))
'''


def main():
    with tempfile.TemporaryDirectory() as folder:
        program = os.path.join(folder, "cellvane_bench")
        with open(program, "w") as f:
            f.write(STAND_IN)
        os.chmod(program, stat.S_IRWXU)
        failures = []
        everything = peers.ours(program, 3)
        if sorted(everything) != sorted(["IsotropicDeposition10/2", "MarchingCubesBuild/2"] +
                                        peers.FLUX_NAMES):
            failures.append("rows read: %s" % sorted(everything))
        flux = peers.ours(program, 3, peers.FLUX_NAMES)
        wall, cpu, (wall_rate, cpu_rate) = flux["FluxRays64/1"]
        # Medians of three repetitions: 2001 ms wall and 501 ms CPU for a million rays.
        if (wall, cpu) != (2001.0, 501.0):
            failures.append("times %s, %s" % (wall, cpu))
        if abs(wall_rate - 1.0e6 / 2.001) > 1e-6 or abs(cpu_rate - 1.0e6 / 0.501) > 1e-6:
            failures.append("rates %s, %s" % (wall_rate, cpu_rate))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
