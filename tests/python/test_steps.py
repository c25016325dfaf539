"""The step methods: each against the executor's own record, refusals, Ctrl-C, threads."""

import math
import os
import signal
import threading

import numpy as np
import pytest

import cellvane
from conftest import EXAMPLES, cells, wafer

OXIDE = "Thermal Si02"
STRIPE = np.zeros((24, 20), bool)
STRIPE[8:16, :] = True

# For each step kind: the keywords of its method and the record the batch dialog would write
# for the same step, by record name. The scene is a 24 x 20 x 16 volume with 8 cells of Si,
# half of it under 2 cells of oxide, for the steps that need a second material.
STEPS = {
    "Photolithography": (
        dict(material=OXIDE, top_mask=STRIPE),
        {"MaterialId": 3, "Top Mask": STRIPE.astype(np.uint8).tobytes(), "Top Mask Width": 24,
         "Top Mask Height": 20, "Bottom Mask": b"", "Bottom Mask Width": 0,
         "Bottom Mask Height": 0}),
    "Si wet etching": (dict(depth=2), {"Depth": 2.0}),
    "Moore deposition": (dict(material=OXIDE, thickness=2),
                         {"MaterialId": 3, "Thickness": 2.0}),
    "Moore etching": (dict(material="Si", depth=2), {"MaterialId": 1, "Depth": 2.0}),
    "CVD": (dict(material="Cu (bulk)", thickness=2.5), {"MaterialId": 5, "Thickness": 2.5}),
    "Isotropic etching": (dict(material=OXIDE, depth=1.5), {"MaterialId": 3, "Depth": 1.5}),
    "Planarization": (dict(maximum_height=9, minimum_height=0),
                      {"Maximum Height": 9, "Minimum Height": 0}),
    "Electroplating": (dict(film_thickness=2, conducting_material="Si",
                            deposited_material="Au (bulk)"),
                       {"Film Thickness": 2.0, "ConductingMaterialId": 1,
                        "DepositedMaterialId": 9}),
    "Doping": (dict(doping_depth=2, doped_material="N-doped Si (100)"),
               {"Doping Depth": 2.0, "DopedMaterialId": 14}),
    "Spin Coating": (dict(maximum_height=13, material="Photoresist +"),
                     {"Maximum Height": 13, "MaterialId": 11}),
    "PVD": (dict(material="Al (bulk)", thickness=2, horizontal_to_vertical_ratio=0.5,
                 deposit_on=1),
            {"MaterialId": 4, "Thickness": 2.0, "Horizontal to Vertical Ratio": 0.5,
             "DepositOn": 1}),
    "Simple RIE": (dict(material=OXIDE, etch_depth=1, etch_direction_value=1),
                   {"MaterialId": 3, "Etch Depth": 1, "EtchDirectionValue": 1}),
    "Ion Implantation": (dict(annealing_distance=1, implantation_depth=2,
                              doped_material="P-doped Si (100)"),
                         {"Annealing Distance": 1.0, "Implantation Depth": 2.0,
                          "DopedMaterialId": 15}),
    "Si Oxidation": (dict(micron_conversion=1, oxidation_thickness=2),
                     {"OxidationTimeSet": False, "Micron Conversion": 1.0,
                      "Oxidation Thickness": 2.0}),
    "Flux Etching": (dict(material=OXIDE, rate=1, time=1.5, ion_exponent=100,
                          neutral_sticking=0.2, ion_share=0.5, rays_per_cell=20, seed=3),
                     {"MaterialId": 3, "Rate": 1.0, "Time": 1.5, "Ion Exponent": 100.0,
                      "Neutral Sticking": 0.2, "Ion Share": 0.5, "Rays Per Cell": 20,
                      "Seed": 3}),
    "Flux Deposition": (dict(material="Cu (bulk)", thickness=2, source_exponent=1, sticking=0.5,
                             periodic_sides=True, rays_per_cell=20),
                        {"MaterialId": 5, "Thickness": 2.0, "Source Exponent": 1.0,
                         "Sticking": 0.5, "Periodic Sides": True, "Rays Per Cell": 20}),
    "Bosch DRIE": (dict(material="Si", cycles=2, etch_depth_per_cycle=2, passivation_thickness=1,
                        isotropy=0.3, periodic_sides=True, rays_per_cell=16),
                   {"MaterialId": 1, "Cycles": 2, "Etch Depth Per Cycle": 2.0,
                    "Passivation Thickness": 1.0, "Isotropy": 0.3, "Periodic Sides": True,
                    "Rays Per Cell": 16}),
    "Release Etch": (dict(rate=1, time=1.5), {"Rate": 1.0, "Time": 1.5}),
}
# Steps that run elsewhere or leave the cells alone.
NOT_ON_CELLS = {"Create Substrate", "Save Image", "Measure", "Save Cross-Section"}


def scene():
    volume = wafer()
    materials = cells(volume)
    materials[:12, :, 8:10] = cellvane.material(OXIDE).id
    volume.set_materials(materials)
    return volume


def kinds():
    return {kind["display_name"]: kind for kind in cellvane.step_kinds()}


def test_every_step_kind_of_the_executor_has_a_method():
    found = kinds()
    missing = set(found) - set(STEPS) - NOT_ON_CELLS
    assert not missing, "step kinds without a case here: %s" % sorted(missing)
    for name, kind in found.items():
        for method in kind["methods"]:
            owner = cellvane.Document if name == "Create Substrate" else cellvane.Volume
            assert callable(getattr(owner, method)), method
            assert name in getattr(owner, method).__doc__
    assert kinds()["CVD"]["methods"] == ["cvd", "deposit"]


@pytest.mark.parametrize("name", sorted(STEPS))
def test_step_method_runs_the_executors_record(name):
    keywords, record = STEPS[name]
    kind = kinds()[name]
    # The record of the test names every value the executor reads for a keyword given.
    filled = {field for k in kind["keywords"] if k["name"] in keywords for field in k["fields"]}
    assert filled <= set(record)

    by_method, by_record = scene(), scene()
    start = cells(by_method)
    getattr(by_method, kind["methods"][0])(**keywords)
    by_record._run_record(kind["type"], record)
    np.testing.assert_array_equal(by_method.materials, by_record.materials)
    assert (by_method.materials != start).any(), "the case should change some cell"


def test_aliases_and_switches():
    a, b = scene(), scene()
    a.deposit(material=OXIDE, thickness=1)
    b.cvd(material=3, thickness=1)
    np.testing.assert_array_equal(a.materials, b.materials)
    # An oxidation by time needs no switch: the values given choose the recipe.
    a.oxidize(micron_conversion=1, oxidation_time=1, oxidation_temperature=1000,
              oxidation_pressure=1)
    b.si_oxidation(micron_conversion=1, oxidation_time_set=True, oxidation_time=1,
                   oxidation_temperature=1000, oxidation_pressure=1)
    np.testing.assert_array_equal(a.materials, b.materials)
    with pytest.raises(ValueError, match="oxidation_thickness and oxidation_time do not go"):
        a.oxidize(micron_conversion=1, oxidation_thickness=1, oxidation_time=1,
                  oxidation_temperature=1000, oxidation_pressure=1)
    with pytest.raises(ValueError, match="oxidation_thickness does not go with "
                                         "oxidation_time_set=True"):
        a.oxidize(micron_conversion=1, oxidation_time_set=True, oxidation_thickness=1)
    with pytest.raises(ValueError, match="substrate_size and radius do not go together"):
        cellvane.Document().create_substrate(size=(9, 9, 9), material="Si", radius=3,
                                             substrate_size=(9, 9, 9))
    ball = cellvane.Document().create_substrate(size=(9, 9, 9), material="Si", radius=3,
                                                center=(4, 4, 4))
    assert ball.materials[4, 4, 4] == 1 and ball.materials[0, 0, 0] == 0


def test_mask_from_an_image_equals_its_array():
    from_image, from_array = scene(), scene()
    # A mask image is one pixel per column, its bottom row at y = 0.
    mask = np.zeros((24, 20), bool)
    mask[5:10, 2:4] = True
    import matplotlib.image
    path = os.path.join(os.environ.get("HOME", "."), "mask.png")
    picture = np.ones((20, 24, 3))
    picture[::-1][mask.T] = 0  # black where opaque, rows from the top
    matplotlib.image.imsave(path, picture)
    from_image.photolithography(material=OXIDE, top_mask=path)
    from_array.photolithography(material=OXIDE, top_mask=mask)
    np.testing.assert_array_equal(from_image.materials, from_array.materials)


def test_refusals_change_nothing():
    volume = scene()
    before = cells(volume)
    for call, error, message in [
            (lambda: volume.deposit(material=OXIDE, thickness="thick"), ValueError,
             'CVD: the parameter "Thickness" holds "thick", not a number'),
            (lambda: volume.deposit(material="Unobtainium", thickness=1), ValueError,
             'no material "Unobtainium"'),
            (lambda: volume.planarization(maximum_height=-1, minimum_height=0), ValueError,
             "at least 0"),
            (lambda: volume.pvd(material=OXIDE, thickness=1, horizontal_to_vertical_ratio=1,
                                deposit_on=7), ValueError, "deposit-on mode"),
            (lambda: volume.doping(doping_depth=float("nan"), doped_material=14), ValueError,
             "Doping"),
            (lambda: volume.photolithography(material=OXIDE, top_mask=np.zeros(5)), ValueError,
             "2-D"),
            (lambda: volume.photolithography(material=OXIDE, top_mask=np.array([["a"]])),
             ValueError, "dtype <U1"),
            (lambda: volume.photolithography(material=OXIDE, top_mask="/no/such/mask.png"),
             OSError, "mask image"),
            (lambda: volume.deposit(material=OXIDE), TypeError, "missing keyword argument "
             "'thickness'"),
            (lambda: volume.deposit(material=OXIDE, thickness=1, thicknes=2), TypeError,
             "unexpected keyword argument 'thicknes'"),
            (lambda: volume.deposit(material=OXIDE, thickness=object()), TypeError, "object"),
            (lambda: volume.save_image(filename="/no/such/folder/a.png"), OSError, "a.png"),
    ]:
        with pytest.raises(error, match=message.replace("(", r"\(")):
            call()
        np.testing.assert_array_equal(volume.materials, before)
    with pytest.raises(ValueError, match="greater than 0"):
        cellvane.Document().create_substrate(size=(4, 4, 4), material="Si", cell_size=(1, 0, 1))
    with pytest.raises(ValueError):
        cellvane.Document().create_substrate(size=(0, 4, 4), material="Si")


def long_scene():
    volume = wafer(size=(64, 64, 64), substrate_height=4)
    return volume


def test_ctrl_c_cancels_a_running_step_and_keeps_the_cells():
    volume = long_scene()
    volume.deposit(material=OXIDE, thickness=1)
    before = cells(volume)
    seen = []

    def interrupt(done, total, stage):
        # Ctrl-C once the engine is under way, as a user at the terminal would press it.
        seen.append(done)
        if len(seen) == 2:
            os.kill(os.getpid(), signal.SIGINT)

    with pytest.raises(KeyboardInterrupt):
        volume.deposit(material="Cu (bulk)", thickness=50, progress=interrupt)
    assert len(seen) >= 2
    np.testing.assert_array_equal(volume.materials, before)
    # The volume works on as before; a callback that raises stops a step the same way.
    with pytest.raises(ZeroDivisionError):
        volume.deposit(material="Cu (bulk)", thickness=50, progress=lambda *a: 1 / 0)
    np.testing.assert_array_equal(volume.materials, before)
    volume.deposit(material="Cu (bulk)", thickness=2)
    assert (volume.materials == 5).any()


def test_interrupt_from_another_thread():
    import _thread
    volume = long_scene()
    before = cells(volume)
    started, interrupted = threading.Event(), threading.Event()

    def interrupter():
        started.wait()
        _thread.interrupt_main()
        interrupted.set()

    def hold_until_interrupted(done, total, stage):
        # The step stays under way until the interrupt has been sent.
        started.set()
        interrupted.wait(30)

    timer = threading.Thread(target=interrupter)
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        volume.deposit(material="Cu (bulk)", thickness=60, progress=hold_until_interrupted)
    timer.join()
    np.testing.assert_array_equal(volume.materials, before)


CHILD = """
import sys, numpy as np, cellvane
volume = cellvane.Document().create_substrate(size=(128, 128, 128), material="Si",
                                              substrate_size=(128, 128, 4))
before = volume.materials.copy()
def started(done, total, stage):
    if done == 1:
        print("running", flush=True)
try:
    volume.deposit(material="Cu (bulk)", thickness=120, progress=started)
    print("finished")
except KeyboardInterrupt:
    print("interrupted", bool((volume.materials == before).all()))
"""


def test_ctrl_c_at_the_terminal():
    # SIGINT from outside, as the terminal sends it, while the engine runs in C++: the step
    # has over a hundred passes left when the child says it is running.
    import subprocess
    import sys
    child = subprocess.Popen([sys.executable, "-c", CHILD], stdout=subprocess.PIPE, text=True)
    assert child.stdout.readline().strip() == "running"
    child.send_signal(signal.SIGINT)
    output, _ = child.communicate(timeout=300)
    assert output.split() == ["interrupted", "True"]


def test_two_threads_give_the_sequential_cells():
    def flow(volume):
        volume.deposit(material=OXIDE, thickness=3)
        volume.photolithography(material=OXIDE, top_mask=STRIPE)
        volume.simple_rie(material="Si", etch_depth=4, etch_direction_value=1)
        volume.isotropic_etching(material="Si", depth=2)

    sequential = [scene(), scene()]
    for volume in sequential:
        flow(volume)
    parallel = [scene(), scene()]
    threads = [threading.Thread(target=flow, args=(v,)) for v in parallel]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for done, expected in zip(parallel, sequential):
        np.testing.assert_array_equal(done.materials, expected.materials)


def test_progress_hears_the_engine():
    volume = scene()
    heard = []
    volume.deposit(material=OXIDE, thickness=4, progress=lambda *a: heard.append(a))
    assert heard and all(done >= 0 and isinstance(stage, str) for done, total, stage in heard)


def test_measurements_and_cross_sections_read_the_cells_and_change_none(tmp_path):
    volume = scene()
    before = cells(volume)
    # The oxide strip over x < 12 is 2 cells thick on 8 cells of silicon.
    assert volume.measure(measurement="thickness:Thermal Si02@3,3") == pytest.approx(
        {"thickness:Thermal Si02@3,3": 2.0, "thickness:Thermal Si02@3,3.top": 10.0,
         "thickness:Thermal Si02@3,3.bottom": 8.0})
    named = volume.measure(measurement="top@20,3", result_name="height")
    assert named["height"] == 8.0
    with pytest.raises(ValueError, match="lies outside the volume"):
        volume.measure(measurement="top@30,3")
    with pytest.raises(ValueError, match="Measure"):
        volume.measure(measurement="no such measurement")
    picture = tmp_path / "cut.png"
    volume.save_cross_section(filename=str(picture), plane_axis="y", plane_position=3.5)
    assert picture.stat().st_size > 0
    with pytest.raises(ValueError, match="outside the cell volume"):
        volume.save_cross_section(filename=str(tmp_path / "z.png"), plane_axis="z",
                                  plane_position=99)
    assert np.array_equal(cells(volume), before)


def test_photolithography_from_a_layout_equals_the_same_mask_as_an_array(tmp_path):
    gdspy = pytest.importorskip("gdspy")
    library = gdspy.GdsLibrary(unit=1e-6, precision=1e-9)
    chip = gdspy.Cell("CHIP")
    # The stripe of STRIPE drawn in micrometres: columns 8 to 15 of 1 µm cells.
    chip.add(gdspy.Rectangle((8, 0), (16, 20), layer=5, datatype=0))
    library.add(chip)
    layout = tmp_path / "chip.gds"
    library.write_gds(str(layout))

    by_array = scene()
    by_array.photolithography(material=OXIDE, top_mask=STRIPE)
    by_layout = scene()
    by_layout.photolithography(material=OXIDE, top_layout="%s:5/0" % layout)
    assert np.array_equal(cells(by_layout), cells(by_array))

    turned = scene()
    before = cells(turned)
    with pytest.raises(ValueError, match="layer 7/0"):
        turned.photolithography(material=OXIDE, top_layout="%s:7/0" % layout)
    assert np.array_equal(cells(turned), before)


def test_recipes_choose_themselves_from_the_values_given():
    # A KOH recipe of 30 wt% at 80 °C for 0.75 min comes to 1.03 µm: four atomic layers, the
    # etch of depth 1.
    a, b = scene(), scene()
    a.wet_etch(koh_concentration=30, koh_temperature=80, etch_time=0.75)
    b.wet_etch(depth=1)
    np.testing.assert_array_equal(a.materials, b.materials)
    with pytest.raises(ValueError, match="10 to 60 wt%"):
        a.wet_etch(koh_concentration=70, koh_temperature=80, etch_time=1)
    # The front is the side an etch takes unless told; a wafer on the volume's bottom face
    # etched from there loses its bottom cells, not its top.
    c = scene()
    c.wet_etch(depth=1, etch_side="top")
    np.testing.assert_array_equal(c.materials, b.materials)
    d, before = scene(), cells(scene())
    d.wet_etch(depth=1, etch_side="bottom")
    assert not np.array_equal(cells(d), before)
    assert np.array_equal(cells(d)[:, :, 4:], before[:, :, 4:])
    with pytest.raises(ValueError, match="top, bottom or both"):
        d.wet_etch(depth=1, etch_side="sideways")
    # Naming the etchant etches by its calibrated plane rates; its values are checked first.
    e, before = scene(), cells(scene())
    e.wet_etch(koh_concentration=25, koh_temperature=90, etch_time=2 / 0.603, etchant="TMAH")
    assert not np.array_equal(cells(e), before)
    for bad, why in ((dict(etchant="HF"), "KOH or TMAH"), (dict(etchant="TMAH"), "25 wt%")):
        f = scene()
        with pytest.raises(ValueError, match=why):
            f.wet_etch(koh_concentration=30, koh_temperature=80, etch_time=1, **bad)
        assert np.array_equal(cells(f), before)
    # A deposition by rate and time equals the thickness it comes to.
    a.deposit(material=OXIDE, rate=0.5, time=4)
    b.deposit(material=OXIDE, thickness=2)
    np.testing.assert_array_equal(a.materials, b.materials)


def test_a_compensated_mesa_mask_sizes_its_bars_by_the_bar_ends_flanks():
    # The (3-11) flanks of a <110> bar's end run back along the bar at R311 / (2 / sqrt 22),
    # by the published {311} and (100) rates (µm/min) of each etchant.
    for etchant, r311, r100 in (("KOH", 1.486, 0.797), ("tmah", 1.177, 0.603)):
        expected = round(math.sqrt(22) / 2 * r311 / r100 * 8)
        assert cellvane.compensation_bar_length(depth=8, etchant=etchant) == expected
    length = cellvane.compensation_bar_length(depth=2)
    mask = cellvane.compensated_mesa_mask(size=(60, 50), mesa=(20, 15, 40, 35), depth=2,
                                          bar_width=3)
    assert mask.shape == (60, 50) and mask.dtype == bool
    assert mask.sum() == 20 * 20 + 4 * 3 * length
    # The corner at the largest x and y: its bar continues the edge at y = 35 along +x.
    assert mask[40:40 + length, 32:35].all()
    assert not mask[40 + length, 32:35].any() and not mask[40:40 + length, 35].any()
    for bad, reason in ((dict(size=(0, 5)), "size"), (dict(mesa=(5, 0, 5, 4)), "mesa"),
                        (dict(depth=-1), "depth"), (dict(bar_width=0), "bar_width"),
                        (dict(etchant="HF"), "KOH or TMAH")):
        values = dict(size=(10, 10), mesa=(2, 2, 6, 6), depth=1, bar_width=1) | bad
        with pytest.raises(ValueError, match=reason):
            cellvane.compensated_mesa_mask(**values)
