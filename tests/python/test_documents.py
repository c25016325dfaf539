"""Documents, the registry and the cells as numpy arrays."""

import gc
import os
import subprocess
import sys

import numpy as np
import pytest

import cellvane
from conftest import SOURCE, cells, wafer


def test_registry_lookup_by_name_and_id():
    listed = cellvane.materials()
    assert [m.id for m in listed] == sorted(m.id for m in listed)
    silicon = cellvane.material("Si")
    assert silicon.id == 1 and cellvane.material(1).name == "Si"
    assert len(silicon.color) == 4 and all(0 <= c <= 1 for c in silicon.color)
    assert silicon.density > 0 and silicon.young_modulus > 0
    assert cellvane.material(0).name == "Empty"
    for missing in ("Unobtainium", 987654):
        with pytest.raises(KeyError):
            cellvane.material(missing)
    with pytest.raises(TypeError):
        cellvane.material(1.5)


def test_substrate_save_and_open(tmp_path):
    document = cellvane.Document()
    assert document.volumes == [] and document.file_name is None
    volume = document.create_substrate(size=(10, 8, 6), substrate_size=(10, 8, 3),
                                       material="Si", position=(1, 2, 3), cell_size=(2, 1, 0.5))
    assert volume.size == (10, 8, 6) and volume.position == (1, 2, 3)
    assert volume.cell_size == (2, 1, 0.5)
    assert document.volumes == [volume] and volume.document == document
    expected = np.zeros((10, 8, 6), np.uint16)
    expected[:, :, :3] = 1
    np.testing.assert_array_equal(volume.materials, expected)

    path = tmp_path / "box.cvx"
    document.save(path)
    assert document.file_name == str(path)
    again = cellvane.open(path)
    [reopened] = again.volumes
    assert (reopened.size, reopened.cell_size, reopened.position) == (
        volume.size, volume.cell_size, volume.position)
    np.testing.assert_array_equal(reopened.materials, expected)
    assert volume.crystal_orientation == reopened.crystal_orientation == "100"


def test_a_110_wafer_keeps_its_orientation_through_save_and_open(tmp_path):
    document = cellvane.Document()
    volume = document.create_substrate(size=(6, 6, 6), material="Si", crystal_orientation="110")
    assert volume.crystal_orientation == "110"
    path = tmp_path / "wafer.cvx"
    document.save(path)
    assert 'crystal-orientation="110"' in path.read_text()
    [reopened] = cellvane.open(path).volumes
    assert reopened.crystal_orientation == "110"
    with pytest.raises(ValueError, match="must be 100 or 110"):
        document.create_substrate(size=(6, 6, 6), material="Si", crystal_orientation="111")
    assert len(document.volumes) == 1


def test_view_is_zero_copy_read_only_and_follows_the_cells():
    volume = wafer()
    view = volume.materials
    again = volume.materials
    # Both views read the same records: one memory, strided over the cell records.
    assert view.__array_interface__["data"][0] == again.__array_interface__["data"][0]
    assert view.dtype == np.uint16 and view.shape == volume.size
    assert view.strides[2] == view.itemsize  # the cells' own ids, side by side
    assert not view.flags.writeable
    with pytest.raises(ValueError):
        view[0, 0, 0] = 3
    with pytest.raises(ValueError):
        view.setflags(write=True)
    before = view.copy()
    volume.deposit(material="Thermal Si02", thickness=2)
    assert (view != before).any()  # the view shows the step's result without being taken again
    np.testing.assert_array_equal(view, volume.materials)


def test_view_keeps_its_volume_and_document_alive():
    volume = wafer()
    volume.deposit(material="Thermal Si02", thickness=2)
    view = volume.materials
    expected = view.copy()
    column = view[3, 4]
    del volume
    gc.collect()
    # Allocate and free plenty, so freed cell arrays would have been reused.
    for _ in range(5):
        wafer(size=(30, 30, 30)).deposit(material="Thermal Si02", thickness=1)
    gc.collect()
    np.testing.assert_array_equal(view, expected)
    np.testing.assert_array_equal(column, expected[3, 4])


def test_set_materials_validates_shape_and_ids():
    volume = wafer(size=(6, 5, 4), substrate_height=2)
    before = volume.materials.copy()
    for bad, message in [
            (np.zeros((6, 5)), "shape"),
            (np.zeros((5, 6, 4), np.uint32), "shape"),
            (np.full((6, 5, 4), 987654), "no material with id 987654"),
            (np.full((6, 5, 4), -1), "no material with id -1"),
            (np.full((6, 5, 4), 2**64 - 1, np.uint64), "no material with id 18446744073709551615"),
            (np.zeros((6, 5, 4), float), "whole numbers")]:
        with pytest.raises(ValueError, match=message):
            volume.set_materials(bad)
        np.testing.assert_array_equal(volume.materials, before)
    pattern = np.arange(6 * 5 * 4).reshape(6, 5, 4) % 2
    volume.set_materials(pattern.tolist())
    np.testing.assert_array_equal(volume.materials, pattern)
    # The written cells are the ones the steps work on.
    volume.deposit(material="Thermal Si02", thickness=1)
    assert (volume.materials == cellvane.material("Thermal Si02").id).any()


def test_exports(tmp_path):
    volume = wafer(size=(8, 8, 8), substrate_height=4)
    files = volume.export_mesh(tmp_path / "mesh.obj")
    assert str(tmp_path / "mesh.obj") in files and all(os.path.exists(f) for f in files)
    volume.export_vti(tmp_path / "cells.vti")
    vtk = pytest.importorskip("vtk")
    reader = vtk.vtkXMLImageDataReader()
    reader.SetFileName(str(tmp_path / "cells.vti"))
    reader.Update()
    from vtk.util.numpy_support import vtk_to_numpy
    ids = vtk_to_numpy(reader.GetOutput().GetCellData().GetArray("material"))
    # VTK counts x fastest; the view is [x, y, z].
    np.testing.assert_array_equal(ids.reshape(8, 8, 8).transpose(2, 1, 0), volume.materials)


def test_file_errors(tmp_path):
    (tmp_path / "broken.cvx").write_text("<Document><Header/><Object")
    (tmp_path / "not-xml.cvx").write_bytes(b"\x00\x01 not a document")
    for path in (tmp_path / "missing.cvx", tmp_path / "broken.cvx", tmp_path / "not-xml.cvx",
                 tmp_path):
        with pytest.raises(OSError):
            cellvane.open(path)
    volume = wafer(size=(4, 4, 4))
    with pytest.raises(OSError):
        volume.document.save(tmp_path / "no-such-folder" / "a.cvx")
    with pytest.raises(OSError):
        volume.export_vti(tmp_path / "broken.cvx" / "a.vti")  # a file is no folder
    with pytest.raises(ValueError):
        volume.export_mesh(tmp_path / "mesh.unknownformat")


def test_import_needs_no_display():
    environment = {k: v for k, v in os.environ.items()
                   if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    script = ("import cellvane; d = cellvane.Document(); "
              "v = d.create_substrate(size=(4, 4, 4), material='Si'); "
              "v.deposit(material='Si', thickness=1); print(v.materials.sum())")
    done = subprocess.run([sys.executable, "-c", script], env=environment,
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == str(4 * 4 * 4)


def test_the_scale_turns_every_length_into_micrometres_and_round_trips(tmp_path):
    document = cellvane.Document()
    assert document.micrometres_per_scene_unit == 1
    document.micrometres_per_scene_unit = 0.5
    volume = document.create_substrate(size=(4, 3, 2), material="Si", position=(2, 0, 1),
                                       cell_size=(1, 1, 0.5))
    assert volume.cell_size == (1, 1, 0.5) and volume.position == (2, 0, 1)
    path = tmp_path / "scaled.cvx"
    document.save(path)
    assert b'<Header version="1" micrometres-per-scene-unit="0.5"/>' in path.read_bytes()
    again = cellvane.open(path)
    assert again.micrometres_per_scene_unit == 0.5
    assert (again.volumes[0].cell_size, again.volumes[0].position) == ((1, 1, 0.5), (2, 0, 1))
    # The cells stay as they are; the lengths they stand for follow the scale.
    document.micrometres_per_scene_unit = 1
    assert volume.cell_size == (2, 2, 1) and volume.position == (4, 0, 2)
    with pytest.raises(ValueError):
        document.micrometres_per_scene_unit = 0


def test_mechanics_report_of_a_released_cantilever():
    # A 2-cell aluminium beam reaching 20 cells beyond a silicon post, 3 cells above the floor.
    volume = wafer(size=(30, 6, 12), substrate_height=5)
    materials = cells(volume)
    materials[:10, :, 5:8] = cellvane.material("Si").id
    materials[:, :, 8:10] = cellvane.material("Al (bulk)").id
    volume.set_materials(materials)
    report = volume.mechanics_report(adhesion_energy=0.05)
    (beam,) = report["beams"]
    assert beam["kind"] == "cantilever"
    assert beam["length_um"] == 20 and beam["gap_um"] == 3
    assert beam["pull_in_voltage_V"] is None  # plain silicon below
    # Mastrangelo-Hsu: l_d = (3 E t^3 h^2 / (8 gamma_s))^(1/4), E = 70 GPa.
    assert beam["detachment_length_um"] == pytest.approx(
        (3 * 7e10 * (2e-6) ** 3 * (3e-6) ** 2 / (8 * 0.05)) ** 0.25 * 1e6)
    with pytest.raises(ValueError):
        volume.mechanics_report(wafer_diameter_mm=0)
