#!/usr/bin/python3
"""The wall angle of a slot etched along <112> on a (110) wafer, beside the same slot on a
(100) wafer, measured on the cells.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/wafer-110-walls.py

On (110) the {111} planes (1-11) and (1-1-1) stand vertical and meet the surface along the
<112> directions at 54.74 degrees (arctan sqrt 2) to the flat, the volume's x axis. A slot
opened along one of them is bounded by such a plane on either side and etches straight down;
on (100) the same slot undercuts to {111} planes that lean at 54.74 degrees.

Each wall's position is measured layer by layer as the etched area on its side of a stretch
of the slot divided by the stretch's length (the stretch stays clear of the slanted {111}
planes that close the slot's ends), and a straight line fitted to position against height
gives the wall's angle to the surface. Prints one line per wafer and wall.
"""

import math

import numpy as np

import cellvane

OXIDE = "Thermal Si02"
SIZE, TOP = 72, 14          # cells of 1 µm; silicon below TOP, the oxide mask at TOP
WIDTH, LENGTH = 6.0, 84.0   # the slot's opening, µm
STRETCH = 40.0              # the part of the slot measured, µm
DEPTH = 6.0                 # the (100) depth of the etch's time: 24 atomic layers

ALONG = np.array([1.0, math.sqrt(2.0)]) / math.sqrt(3.0)   # <112>
ACROSS = np.array([math.sqrt(2.0), -1.0]) / math.sqrt(3.0)  # the wall's normal


def coordinates():
    centres = np.arange(SIZE) + 0.5 - SIZE / 2.0
    x, y = np.meshgrid(centres, centres, indexing="ij")
    return x * ALONG[0] + y * ALONG[1], x * ACROSS[0] + y * ACROSS[1]


def etched_slot(orientation):
    document = cellvane.Document()
    wafer = document.create_substrate(size=(SIZE, SIZE, TOP + 2),
                                      substrate_size=(SIZE, SIZE, TOP), material="Si",
                                      crystal_orientation=orientation)
    along, across = coordinates()
    opening = (np.abs(across) < WIDTH / 2) & (np.abs(along) < LENGTH / 2)
    cells = np.array(wafer.materials)
    cells[:, :, TOP] = np.where(opening, 0, cellvane.material(OXIDE).id)
    wafer.set_materials(cells)
    wafer.wet_etch(depth=DEPTH)
    return np.array(wafer.materials)


def wall_angles(cells):
    along, across = coordinates()
    middle = np.abs(along) < STRETCH / 2
    centre = SIZE // 2
    bottom = TOP
    while bottom > 0 and cells[centre, centre, bottom - 1] == 0:
        bottom -= 1
    heights = np.arange(bottom + 1, TOP)
    walls = {"right": [], "left": []}
    for z in heights:
        etched = (cells[:, :, z] == 0) & middle
        walls["right"].append(np.count_nonzero(etched & (across > 0)) / STRETCH)
        walls["left"].append(np.count_nonzero(etched & (across <= 0)) / STRETCH)
    angles = {}
    for name, position in walls.items():
        slope = np.polyfit(heights, position, 1)[0]
        angles[name] = 90.0 - math.degrees(math.atan(abs(slope)))
    return TOP - bottom, angles


def main():
    for orientation in ("110", "100"):
        depth, angles = wall_angles(etched_slot(orientation))
        for name, angle in angles.items():
            print(f"({orientation}) wafer, slot at 54.74 degrees to the flat, {depth} µm deep: "
                  f"{name} wall at {angle:.1f} degrees to the surface")


if __name__ == "__main__":
    main()
