"""Writes a layout with an independent GDSII writer and the masks an independent
point-in-polygon test gives for it.

usage: gds_reference.py OUTDIR

OUTDIR/layout.gds: nested cells, arrays, references turned by right and other angles,
mirrored and scaled, flush and extended paths with bends, shapes on other layers and datatypes.
OUTDIR/reference-N.txt: first line "sizeX sizeY cellX cellY offsetX offsetY rotation mirrored",
second line the mask bits of layer 1/0 of cell TOP, '1' where a column centre lies inside the
union of the shapes or on its boundary, bit x * sizeY + y.
"""
import os
import sys

import gdspy
from shapely.geometry import Point, Polygon
from shapely.ops import unary_union
from shapely.prepared import prep

out = sys.argv[1]
lib = gdspy.GdsLibrary(unit=1e-6, precision=1e-9)
square = gdspy.Cell("SQUARE1")
lib.add(square)
square.add(gdspy.Rectangle((0, 0), (10, 10), layer=1))
square.add(gdspy.Rectangle((0, 0), (30, 30), layer=2))

pad = gdspy.Cell("PAD2")
lib.add(pad)
pad.add(gdspy.Polygon([(0, 0), (12, 0), (12, 4), (6, 9), (0, 4)], layer=1))
pad.add(gdspy.FlexPath([(0, 20), (20, 20), (20, 34), (6, 34)], 2, ends="flush",
                       gdsii_path=True, layer=1))
pad.add(gdspy.FlexPath([(30, 0), (30, 16), (44, 16)], 3, ends="extended",
                       gdsii_path=True, layer=1))
pad.add(gdspy.Rectangle((0, 0), (8, 8), layer=1, datatype=1))

grid = gdspy.Cell("ARRAY3")
lib.add(grid)
grid.add(gdspy.CellArray(square, 4, 3, (15, 12)))

top = gdspy.Cell("TOP")
lib.add(top)
top.add(gdspy.CellReference(grid, (5, 5)))
top.add(gdspy.CellReference(pad, (100, 40), rotation=30))
top.add(gdspy.CellReference(pad, (60, 100), rotation=90, x_reflection=True))
top.add(gdspy.CellReference(square, (150, 20), rotation=45, magnification=1.5))
top.add(gdspy.CellArray(square, 2, 2, (20, 20), origin=(130, 120), rotation=90))
top.add(gdspy.Rectangle((-20, -20), (0, 190), layer=1))
lib.write_gds(os.path.join(out, "layout.gds"))

# The reference reads the file back with the writer's own reader and flattens with it.
read = gdspy.GdsLibrary(unit=1e-6, infile=os.path.join(out, "layout.gds"))
shapes = read.cell_dict["TOP"].get_polygons(by_spec=True)[(1, 0)]

placements = [
    (100, 80, 2.0, 2.5, 0.0, 0.0, 0, False),
    (90, 90, 2.0, 2.0, 10.0, 7.5, 90, True),
    (120, 70, 1.5, 3.0, 12.0, 200.0, 270, False),
]
for n, (sx, sy, cx, cy, ox, oy, rotation, mirrored) in enumerate(placements):
    placed = []
    for shape in shapes:
        points = []
        for x, y in shape:
            if mirrored:
                y = -y
            for _ in range(rotation // 90):
                x, y = -y, x
            points.append((x + ox, y + oy))
        placed.append(Polygon(points))
    # Edges included: a centre on the boundary counts, within rounding of the coordinates.
    union = prep(unary_union(placed).buffer(1e-7))
    bits = []
    for i in range(sx):
        for j in range(sy):
            bits.append("1" if union.covers(Point((i + 0.5) * cx, (j + 0.5) * cy)) else "0")
    with open(os.path.join(out, "reference-%d.txt" % n), "w") as f:
        f.write("%d %d %r %r %r %r %d %d\n" % (sx, sy, cx, cy, ox, oy, rotation, mirrored))
        f.write("".join(bits) + "\n")
