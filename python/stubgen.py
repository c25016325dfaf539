"""Writes the cellvane.pyi stub: the fixed interface below, and one method per step kind of
the built module, with exactly the keywords the module takes.

    PYTHONPATH=build/debug/python /usr/bin/python3 python/stubgen.py python/cellvane.pyi
"""

import sys

import cellvane

FIXED = '''\
"""Cellvane from Python (stub for editors; written by python/stubgen.py)."""

import os
from typing import Callable, Optional, Sequence, Tuple, Union

import numpy
import numpy.typing

Path = Union[str, "os.PathLike[str]"]
Progress = Optional[Callable[[int, int, str], object]]
Triple = Tuple[float, float, float]
MaterialKey = Union[str, int]
Mask = Union[None, Path, numpy.typing.ArrayLike]

class Material:
    @property
    def id(self) -> int: ...
    @property
    def name(self) -> str: ...
    @property
    def color(self) -> Tuple[float, float, float, float]: ...
    @property
    def density(self) -> float: ...
    @property
    def young_modulus(self) -> float: ...
    @property
    def poisson_ratio(self) -> float: ...

def materials() -> list[Material]: ...
def material(key: MaterialKey) -> Material: ...
def open(path: Path) -> Document: ...
def run_list(path: Path, *, input: Optional[Path] = None, volume: int = 1,
             set: Optional[dict[str, object]] = None, threads: Optional[int] = None,
             progress: Progress = None) -> Document: ...
def step_kinds() -> list[dict]: ...
def compensation_bar_length(*, depth: float, etchant: str = "KOH") -> int: ...
def compensated_mesa_mask(*, size: Tuple[int, int], mesa: Tuple[int, int, int, int],
                          depth: float, bar_width: int, etchant: str = "KOH") -> numpy.ndarray: ...

class Document:
    def __init__(self) -> None: ...
    @property
    def volumes(self) -> list[Volume]: ...
    @property
    def file_name(self) -> Optional[str]: ...
    @property
    def micrometres_per_scene_unit(self) -> float: ...
    @micrometres_per_scene_unit.setter
    def micrometres_per_scene_unit(self, value: float) -> None: ...
    def save(self, path: Path) -> None: ...
{create_substrate}
class Volume:
    @property
    def size(self) -> Tuple[int, int, int]: ...
    @property
    def cell_size(self) -> Triple: ...
    @property
    def crystal_orientation(self) -> str: ...
    @property
    def position(self) -> Triple: ...
    @property
    def document(self) -> Document: ...
    @property
    def materials(self) -> numpy.ndarray:
        """Read-only uint16 view of the cells, indexed [x, y, z]."""
    def set_materials(self, materials: numpy.typing.ArrayLike) -> None: ...
    def export_mesh(self, path: Path) -> list[str]: ...
    def export_vti(self, path: Path, compress: bool = False) -> None: ...
    def surface_flux(self, *, source_exponent: float = 1.0, sticking: float = 1.0, periodic_sides: bool = False, rays_per_cell: int = 64, seed: int = 0, part: str = "total") -> numpy.typing.NDArray[numpy.float32]: ...
    def mechanics_report(self, adhesion_energy: float = 0.073, wafer_diameter_mm: float = 100.0, wafer_thickness_um: float = 525.0) -> dict: ...
{steps}'''

KINDS = {
    "real": "float", "single": "float", "count": "float", "integer": "int", "whole": "int",
    "flag": "bool", "text": "str", "vector": "Triple", "bits": "bytes",
}


def annotation(keyword):
    form = keyword["form"]
    if form == "material":
        return "MaterialKey"
    if form == "mask":
        return "Mask"
    if form == "switch":
        return "bool"
    if form == "axes":
        return "Tuple[%s, %s, %s]" % ((KINDS[keyword["kind"]],) * 3)
    return KINDS[keyword["kind"]]


def signature(name, keywords, defaults=()):
    parameters = ["self", "*"]
    for keyword in keywords:
        optional = keyword["optional"] or keyword["when"] is not None or keyword["name"] in defaults
        text = "%s: %s" % (keyword["name"], annotation(keyword))
        parameters.append(text + (" = ..." if optional else ""))
    parameters.append("progress: Progress = None")
    returned = {"create_substrate": "Volume", "measure": "dict[str, float]"}.get(name, "None")
    return "    def %s(%s) -> %s: ..." % (name, ", ".join(parameters), returned)


def stub():
    steps, create = [], ""
    for kind in cellvane.step_kinds():
        for name in kind["methods"]:
            if name == "create_substrate":
                create = signature(name, kind["keywords"],
                                   ("position", "substrate_corner", "substrate_size")) + "\n"
            else:
                steps.append(signature(name, kind["keywords"]))
    return FIXED.format(create_substrate=create, steps="\n".join(steps) + "\n")


if __name__ == "__main__":
    text = stub()
    if len(sys.argv) > 1:
        with open(sys.argv[1], "w", encoding="utf-8") as out:
            out.write(text)
    else:
        sys.stdout.write(text)
