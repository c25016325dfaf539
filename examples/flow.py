#!/usr/bin/python3
"""The trench of examples/trench.plst, step by step from Python, then a look at the result
with numpy and a cross-section drawn with matplotlib.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/flow.py [OUTPUT_FOLDER]

Writes trench.cvx, trench.png (the 3D picture of the "Save Image" step) and
trench-section.png (the cross-section) to OUTPUT_FOLDER, the current folder by default.
"""

import pathlib
import sys

import matplotlib

matplotlib.use("Agg")  # files only: no display needed
import matplotlib.colors
import matplotlib.patches
import matplotlib.pyplot as plt
import numpy as np

import cellvane

HERE = pathlib.Path(__file__).resolve().parent


def build_trench(out):
    """The steps of trench.plst, with the same values."""
    document = cellvane.Document()
    wafer = document.create_substrate(size=(60, 60, 40), substrate_size=(60, 60, 20),
                                      material="Si")
    wafer.deposit(material="Thermal Si02", thickness=3)
    wafer.photolithography(material="Thermal Si02", top_mask=HERE / "trench-mask.png")
    wafer.simple_rie(material="Si", etch_depth=12, etch_direction_value=1)
    wafer.save_image(filename=str(out / "trench.png"))
    document.save(out / "trench.cvx")
    return document, wafer


def material_volumes(wafer):
    """Volume of each material present, in cubic cell units of the volume's cell size."""
    cells = wafer.materials  # a view of the cells: no copy
    cell_volume = float(np.prod(wafer.cell_size))
    ids, counts = np.unique(cells, return_counts=True)
    return {cellvane.material(int(i)).name: int(n) * cell_volume for i, n in zip(ids, counts)}


def depth_map(wafer):
    """Height of the topmost filled cell of every column (0 for an empty column), [x, y]."""
    filled = wafer.materials != 0
    size_z = filled.shape[2]
    top_from_above = np.argmax(filled[:, :, ::-1], axis=2)
    return np.where(filled.any(axis=2), size_z - top_from_above, 0)


def draw_section(wafer, heights, y, path):
    """Left, the cut at row y: x across, z upwards, each material in its registry colour.
    Right, the height map seen from above, with the row of the cut."""
    section = wafer.materials[:, y, :].T  # [z, x]
    ids = np.unique(section)
    index = np.searchsorted(ids, section)
    colors = [(1, 1, 1, 1) if i == 0 else cellvane.material(int(i)).color for i in ids]
    figure, (cut, top) = plt.subplots(1, 2, figsize=(11, 4.5),
                                      gridspec_kw={"width_ratios": [1.4, 1]})
    cut.imshow(index, origin="lower", cmap=matplotlib.colors.ListedColormap(colors),
               vmin=-0.5, vmax=len(ids) - 0.5, interpolation="nearest")
    cut.set_xlabel("x (cells)")
    cut.set_ylabel("z (cells)")
    cut.set_title("Cross-section at y = %d" % y)
    handles = [matplotlib.patches.Patch(color=c, label=cellvane.material(int(i)).name)
               for i, c in zip(ids, colors) if i != 0]
    cut.legend(handles=handles, loc="upper right", fontsize="small")
    shown = top.imshow(heights.T, origin="lower", cmap="viridis", interpolation="nearest")
    top.axhline(y, color="red", linewidth=1)
    top.set_xlabel("x (cells)")
    top.set_ylabel("y (cells)")
    top.set_title("Height of the top surface (cells)")
    figure.colorbar(shown, ax=top, shrink=0.8)
    figure.tight_layout()
    figure.savefig(path, dpi=100)
    plt.close(figure)


def main():
    out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    out.mkdir(parents=True, exist_ok=True)
    document, wafer = build_trench(out)
    print("Cell volume %d x %d x %d, cell size %g x %g x %g" % (wafer.size + wafer.cell_size))

    print("Material volumes:")
    for name, volume in sorted(material_volumes(wafer).items()):
        print("  %-14s %8.0f" % (name, volume))

    heights = depth_map(wafer)
    surface = int(heights.max())
    etched = heights < surface - 3  # below the oxide's underside: the trench floor
    print("Top surface at z = %d; trench floor at z = %d, %d cells deep below the oxide's top"
          % (surface, int(heights.min()), surface - int(heights.min())))
    print("Trench columns: %d of %d (%.1f %% of the die)"
          % (etched.sum(), etched.size, 100.0 * etched.mean()))

    # A row a quarter of the way in crosses the trench arm that runs along y.
    row = wafer.size[1] // 4
    draw_section(wafer, heights, row, out / "trench-section.png")
    print("Wrote %s, %s and %s" % (out / "trench.cvx", out / "trench.png",
                                   out / "trench-section.png"))


if __name__ == "__main__":
    main()
