#!/usr/bin/python3
"""The pictures of the README's "Wet etching in the lab": a membrane etched from the back onto
a boron-doped layer, a square mesa etched from the front, its convex corners undercut bare and
kept square by compensation bars, and a slot along <112> etched on a (110) wafer beside the
same slot on a (100) wafer.

    PYTHONPATH=build/debug/python /usr/bin/python3 scripts/wet-etch-pictures.py [FOLDER]

Writes membrane.png, mesa.png and wafer-110.png to FOLDER (docs/pictures by default).
"""

import math
import pathlib
import sys

import matplotlib

matplotlib.use("Agg")  # files only: no display needed
import matplotlib.colors
import matplotlib.patches
import matplotlib.pyplot as plt
import numpy as np

import cellvane

OXIDE = "Thermal Si02"
DOPED = "P-doped Si (100)"


def draw(cells, title, path, y):
    """The cut at row y: x across, z upwards, each material in its registry colour."""
    section = cells[:, y, :].T
    ids = np.unique(section)
    index = np.searchsorted(ids, section)
    colors = [(1, 1, 1, 1) if i == 0 else cellvane.material(int(i)).color for i in ids]
    figure, cut = plt.subplots(figsize=(8, 4))
    cut.imshow(index, origin="lower", cmap=matplotlib.colors.ListedColormap(colors),
               vmin=-0.5, vmax=len(ids) - 0.5, interpolation="nearest")
    cut.set_xlabel("x (µm)")
    cut.set_ylabel("z (µm)")
    cut.set_title(title)
    handles = [matplotlib.patches.Patch(color=c, label=cellvane.material(int(i)).name)
               for i, c in zip(ids, colors) if i != 0]
    cut.legend(handles=handles, loc="upper right", fontsize="small")
    figure.tight_layout()
    figure.savefig(path, dpi=100)
    plt.close(figure)


def membrane(out):
    """A 24 µm wafer on a back oxide, its top 5 µm doped at 1e20 cm⁻³, etched from the back
    through a 40 µm window."""
    document = cellvane.Document()
    wafer = document.create_substrate(size=(60, 40, 30), substrate_size=(60, 40, 24),
                                      material="Si")
    cells = np.array(wafer.materials)
    cells[:, :, 0] = cellvane.material(OXIDE).id
    wafer.set_materials(cells)
    wafer.doping(doped_material=DOPED, doping_depth=5, concentration=1e20)
    cells = np.array(wafer.materials)
    cells[10:50, 5:35, 0] = 0
    wafer.set_materials(cells)
    wafer.wet_etch(depth=26, etch_side="bottom")
    draw(np.array(wafer.materials), "Membrane: back window, 5 µm of boron at 1e20 cm⁻³",
         out / "membrane.png", 20)


def mesa(out):
    """A square oxide mesa with edges along <110>, etched 8 µm from the front in KOH of 34 wt%
    at 70 °C, the calibrated etchant's table point (0.797 µm/min): bare, and with a <110> bar
    3 µm wide at each corner, as long as the etch eats back to the corner in 8 µm."""
    depth, size, mesa_box = 8, 110, (40, 40, 70, 70)
    masks = {
        "bare": cellvane.compensated_mesa_mask(size=(size, size), mesa=mesa_box, depth=0,
                                               bar_width=1),
        "compensated": cellvane.compensated_mesa_mask(size=(size, size), mesa=mesa_box,
                                                      depth=depth, bar_width=3),
    }
    length = cellvane.compensation_bar_length(depth=depth)
    heights = {}
    for name, mask in masks.items():
        document = cellvane.Document()
        wafer = document.create_substrate(size=(size, size, 24), substrate_size=(size, size, 20),
                                          material="Si")
        cells = np.array(wafer.materials)
        cells[:, :, 20] = np.where(mask, cellvane.material(OXIDE).id, 0)
        wafer.set_materials(cells)
        wafer.wet_etch(koh_recipe=True, etchant="KOH", koh_concentration=34, koh_temperature=70,
                       etch_time=depth / 0.797, periodic_sides=True)
        # Seen from above: the height of the silicon in each column.
        silicon = np.array(wafer.materials) == 1
        heights[name] = np.where(silicon.any(axis=2),
                                 silicon.shape[2] - np.argmax(silicon[:, :, ::-1], axis=2), 0)
    low = min(h.min() for h in heights.values())
    figure, tops = plt.subplots(1, 2, figsize=(10, 4.6), sharey=True, layout="constrained")
    for top, (name, mask) in zip(tops, masks.items()):
        shown = top.imshow(heights[name].T, origin="lower", cmap="viridis",
                           interpolation="nearest", vmin=low, vmax=20)
        # The mask's outline runs along the cells' edges, half-way between their centres.
        top.contour(mask.T.astype(float), levels=[0.5], colors="red", linewidths=1)
        top.set_title("bare" if name == "bare" else
                      f"compensated: bars 3 µm wide, {length} µm long")
        top.set_xlabel("x along <110> (µm)")
    tops[0].set_ylabel("y along <110> (µm)")
    figure.suptitle(f"Square mesa, {depth} µm of KOH: height of the silicon (µm), the mask in red")
    figure.colorbar(shown, ax=tops, shrink=0.8)
    figure.savefig(out / "mesa.png", dpi=100)
    plt.close(figure)


def wafer110(out):
    """A 6 µm slot through oxide at 54.74 degrees to the flat (along <112> on (110)), etched for a
    (100) depth of 6 µm on a (110) and on a (100) wafer; each cut across the slot's middle."""
    size, top = 72, 14
    along = np.array([1.0, math.sqrt(2.0)]) / math.sqrt(3.0)
    across = np.array([math.sqrt(2.0), -1.0]) / math.sqrt(3.0)
    centres = np.arange(size) + 0.5 - size / 2.0
    x, y = np.meshgrid(centres, centres, indexing="ij")
    opening = ((np.abs(x * across[0] + y * across[1]) < 3) &
               (np.abs(x * along[0] + y * along[1]) < 42))
    figure, cuts = plt.subplots(1, 2, figsize=(9, 3.2), sharey=True)
    for cut, orientation in zip(cuts, ("110", "100")):
        document = cellvane.Document()
        wafer = document.create_substrate(size=(size, size, top + 2),
                                          substrate_size=(size, size, top), material="Si",
                                          crystal_orientation=orientation)
        cells = np.array(wafer.materials)
        cells[:, :, top] = np.where(opening, 0, cellvane.material(OXIDE).id)
        wafer.set_materials(cells)
        wafer.wet_etch(depth=6)
        cells = np.array(wafer.materials)
        # The cells the line across the slot's middle passes, one per 0.5 µm.
        s = np.arange(-16.0, 16.0, 0.5)
        i = np.floor(size / 2.0 + s * across[0]).astype(int)
        j = np.floor(size / 2.0 + s * across[1]).astype(int)
        section = cells[i, j, :].T
        shown = np.where(section == 1, 1, np.where(section == 0, 0, 2))
        cut.imshow(shown, origin="lower", interpolation="nearest", aspect=1,
                   extent=(s[0], s[-1] + 0.5, 0, top + 2),
                   cmap=matplotlib.colors.ListedColormap([(1, 1, 1), (0.55, 0.55, 0.6),
                                                          (0.85, 0.2, 0.2)]))
        cut.set_title(f"({orientation}) wafer")
        cut.set_xlabel("across the slot (µm)")
    cuts[0].set_ylabel("z (µm)")
    figure.suptitle("Slot at 54.74° to the flat, etched for a (100) depth of 6 µm")
    figure.tight_layout()
    figure.savefig(out / "wafer-110.png", dpi=100)
    plt.close(figure)


def main():
    out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "docs/pictures")
    out.mkdir(parents=True, exist_ok=True)
    membrane(out)
    mesa(out)
    wafer110(out)


if __name__ == "__main__":
    main()
