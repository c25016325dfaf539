#!/usr/bin/python3
"""Times what a user would script instead of Cellvane on the 200 x 200 x 100 trench scene of
bench/trenchscene.h, and, given our benchmark binary, puts both side by side as ratios from
one run.

    /usr/bin/python3 bench/peers.py [--bench build/bench/bench/cellvane_bench]
        [--before OLDER_BUILD/bench/cellvane_bench] [--repetitions 5] [--flux-only]

Peers (one thread each): scipy's exact Euclidean distance transform plus a threshold for a
10-unit isotropic film, VTK's discrete marching cubes and flying edges for the surface, and
Embree 3 tracing the flux engine's own source rays against the triangulated surface
(cellvane_embree_flux beside our benchmark binary, built where libembree-dev is installed).
Every figure is the median of the repetitions; besides the wall clock, the CPU time of all
threads is compared, which stays meaningful on a machine busy with other work.

Needs Debian's python3-numpy, python3-scipy, python3-vtk9 and libembree-dev
(scripts/install-bench-deps.sh).
"""

import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import time

import numpy as np

SIZE = (200, 200, 100)
SILICON, OXIDE, FILM = 1, 3, 7
FILM_THICKNESS = 10.0
THREADS = 2  # our thread count in the table


def trench_materials(sx=SIZE[0], sy=SIZE[1], sz=SIZE[2]):
    """Material ids indexed [x, y, z], as bench::trenchMaterials lays them out."""
    m = np.zeros((sx, sy, sz), dtype=np.int32)
    silicon_top = np.full(sx, 60)
    silicon_top[sx // 2 - 20:sx // 2 + 20] = 30
    z = np.arange(sz)
    for x in range(sx):
        column = np.where(z < silicon_top[x], SILICON,
                          np.where(z < silicon_top[x] + 5, OXIDE, 0))
        m[x, :, :] = column[np.newaxis, :]
    return m


def timed(work, repetitions):
    """Median wall and CPU seconds of `work()` and its last result."""
    walls, cpus, result = [], [], None
    for _ in range(repetitions):
        wall0, cpu0 = time.perf_counter(), time.process_time()
        result = work()
        cpus.append(time.process_time() - cpu0)
        walls.append(time.perf_counter() - wall0)
    return statistics.median(walls), statistics.median(cpus), result


def scipy_film(materials, repetitions):
    from scipy import ndimage

    def work():
        empty = materials == 0
        distance = ndimage.distance_transform_edt(empty)
        return np.where(empty & (distance <= FILM_THICKNESS), FILM, materials)

    wall, cpu, result = timed(work, repetitions)
    return wall, cpu, int(np.count_nonzero(result == FILM))


def vtk_image(materials):
    from vtkmodules.util import numpy_support
    from vtkmodules.vtkCommonDataModel import vtkImageData

    # Our surface treats the lowest layer on each axis as empty and closes the volume on every
    # side; the same surface comes from the cells above that layer framed by empty points.
    solid = np.pad((materials[1:, 1:, 1:] != 0).astype(np.uint8), 1)
    sx, sy, sz = solid.shape
    image = vtkImageData()
    image.SetDimensions(sx, sy, sz)
    # VTK runs x fastest; the cells run z fastest.
    solid = np.ascontiguousarray(solid.transpose(2, 1, 0)).ravel()
    array = numpy_support.numpy_to_vtk(solid, deep=True)
    array.SetName("solid")
    image.GetPointData().SetScalars(array)
    return image


def vtk_surface(materials, repetitions, flying_edges):
    from vtkmodules.vtkCommonCore import vtkSMPTools
    from vtkmodules.vtkFiltersGeneral import vtkDiscreteFlyingEdges3D, vtkDiscreteMarchingCubes

    vtkSMPTools.Initialize(1)
    image = vtk_image(materials)

    def work():
        f = vtkDiscreteFlyingEdges3D() if flying_edges else vtkDiscreteMarchingCubes()
        f.SetInputData(image)
        f.SetValue(0, 1)
        f.ComputeNormalsOn()
        f.Update()
        return f.GetOutput().GetNumberOfPolys()

    return timed(work, repetitions)


FLUX_RAYS_PER_CELL = 64


def embree_flux(bench, repetitions):
    """Median rays per second of Embree on the engine's rays, from the peer program beside
    our benchmark binary; None when it was not built."""
    program = os.path.join(os.path.dirname(bench), "cellvane_embree_flux") if bench else None
    if not program or not os.path.exists(program):
        return None
    rates, cpu_rates, last = [], [], None
    for _ in range(repetitions):
        out = subprocess.run([program, str(FLUX_RAYS_PER_CELL)], check=True,
                             capture_output=True, text=True).stdout
        last = json.loads(out)
        rates.append(last["rays_per_second"])
        cpu_rates.append(last["rays"] / last["cpu_seconds"])
    return statistics.median(rates), statistics.median(cpu_rates), last


FLUX_NAMES = ["FluxRays64/1", "FluxMap256/%d" % THREADS]


def ours(bench, repetitions, names=None):
    """Median wall and CPU milliseconds per benchmark name from our binary; for the flux
    benchmarks the rays per second of the wall clock and of the CPU time instead of a count."""
    names = names or ["IsotropicDeposition10/%d" % THREADS,
                      "MarchingCubesBuild/%d" % THREADS] + FLUX_NAMES
    # A benchmark with a fixed iteration count carries it in its name.
    pattern = "^(%s)(/iterations:[0-9]+)?/real_time$" % "|".join(names)
    out = subprocess.run([bench, "--benchmark_filter=" + pattern,
                          "--benchmark_repetitions=%d" % repetitions,
                          "--benchmark_format=json"],
                         check=True, capture_output=True, text=True).stdout
    runs = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        name = re.sub(r"(/iterations:[0-9]+)?/real_time$", "", b["run_name"])
        runs.setdefault(name, []).append(b)
    result = {}
    for name in names:
        got = runs[name]
        wall = statistics.median(b["real_time"] for b in got)  # milliseconds
        # Older builds do not report the CPU time of every benchmark.
        cpus = [b["all_threads_cpu_ms"] for b in got if "all_threads_cpu_ms" in b]
        cpu = statistics.median(cpus) if cpus else float("nan")
        extra = got[-1].get("triangles")
        if name.startswith("Flux"):
            extra = (statistics.median(b["rays_per_second"] for b in got),
                     statistics.median(b["rays"] / (b["all_threads_cpu_ms"] / 1e3) for b in got))
        result[name] = (wall, cpu, extra)
    return result


def load():
    return os.getloadavg()[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bench", help="our benchmark binary (cellvane_bench)")
    parser.add_argument("--before", help="an older build's benchmark binary, timed in the same "
                        "run for a table before the change")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--flux-only", action="store_true",
                        help="only the flux engine against Embree (a shorter run)")
    args = parser.parse_args()
    reps = max(1, args.repetitions)

    print("load average at start: %.2f" % load(), file=sys.stderr)
    if args.flux_only:
        mine = ours(args.bench, reps, FLUX_NAMES) if args.bench else None
        embree = embree_flux(args.bench, reps)
        print("load average at end: %.2f" % load(), file=sys.stderr)
        print_flux_table(mine, embree, reps)
        return
    materials = trench_materials()
    peers = {
        "film": scipy_film(materials, reps),
        "mc": vtk_surface(materials, reps, flying_edges=False),
        "fe": vtk_surface(materials, reps, flying_edges=True),
    }
    mine = ours(args.bench, reps) if args.bench else None
    older = ours(args.before, reps) if args.before else None
    embree = embree_flux(args.bench, reps)
    print("load average at end: %.2f" % load(), file=sys.stderr)
    if older:
        print("Before (%s):" % args.before)
        print_table(peers, older, reps)
        print()
        print("After (%s):" % args.bench)
    print_table(peers, mine, reps)
    print_flux_table(mine, embree, reps)


def print_flux_table(mine, embree, reps):
    print()
    print("Flux engine, trench scene, Lambertian source, sticking 1, closed sides, %d rays per "
          "surface cell, medians of %d repetitions; ours on 1 thread, Embree 3 on 1 thread "
          "(rtcIntersect1). Rays per second of the wall clock and of the CPU time (which a "
          "busy machine disturbs less)." % (FLUX_RAYS_PER_CELL, reps))
    print()
    print("| Work | Ours wall | Peer | Peer wall | Ratio wall | Ours CPU | Peer CPU | Ratio CPU"
          " | Goal |")
    print("|---|---|---|---|---|---|---|---|---|")
    ours_rate, ours_cpu = mine["FluxRays64/1"][2] if mine else (None, None)
    if embree:
        rate, cpu_rate, last = embree
        peer = "Embree 3 (%d triangles, %d of %d rays hit)" % (last["triangles"], last["hits"],
                                                              last["rays"])
    else:
        rate, cpu_rate, peer = None, None, "Embree 3 (not built)"

    def rays(r):
        return "%.3g rays/s" % r if r else "-"

    def ratio(a, b):
        return "%.2f" % (a / b) if a and b else "-"

    print("| traced rays per second | %s | %s | %s | %s | %s | %s | %s | >= 1 |"
          % (rays(ours_rate), peer, rays(rate), ratio(ours_rate, rate), rays(ours_cpu),
             rays(cpu_rate), ratio(ours_cpu, cpu_rate)))
    if mine:
        wall, cpu, _ = mine["FluxMap256/%d" % THREADS]
        print("| one flux map at 256 rays per surface cell, %d threads | %.0f ms | - | - | - "
              "| %.0f ms | - | - | - |" % (THREADS, wall, cpu))


def print_table(peers, mine, reps):
    rows = [
        ("10-unit isotropic film", "IsotropicDeposition10/%d" % THREADS, "film",
         "scipy distance_transform_edt + threshold", 0.15),
        ("marching-cubes surface with smoothing", "MarchingCubesBuild/%d" % THREADS, "mc",
         "VTK vtkDiscreteMarchingCubes", 0.8),
        ("marching cubes against flying edges", "MarchingCubesBuild/%d" % THREADS, "fe",
         "VTK vtkDiscreteFlyingEdges3D", 1.0),
    ]
    print("Trench scene %d x %d x %d, medians of %d repetitions; ours on %d threads, peers on 1."
          % (SIZE + (reps, THREADS)))
    print()
    print("| Work | Ours wall | Peer | Peer wall | Ratio wall | Ours CPU | Peer CPU | Ratio CPU"
          " | Goal |")
    print("|---|---|---|---|---|---|---|---|---|")
    for work, our_name, peer_key, peer_name, goal in rows:
        peer_wall, peer_cpu, peer_count = peers[peer_key]
        peer_wall *= 1e3
        peer_cpu *= 1e3
        peer_label = "%s (%s %s)" % (peer_name, peer_count,
                                     "film cells" if peer_key == "film" else "triangles")
        if mine:
            wall, cpu, count = mine[our_name]
            count = count or 0
            label = work + (" (%d triangles)" % count if count else "")
            print("| %s | %.1f ms | %s | %.1f ms | %.2f | %.1f ms | %.1f ms | %.2f | <= %g |"
                  % (label, wall, peer_label, peer_wall, wall / peer_wall, cpu, peer_cpu,
                     cpu / peer_cpu, goal))
        else:
            print("| %s | - | %s | %.1f ms | - | - | %.1f ms | - | <= %g |"
                  % (work, peer_label, peer_wall, peer_cpu, goal))


if __name__ == "__main__":
    main()
