"""volume.bosch_drie: the passivation and etch cycles from Python."""

import numpy as np
import pytest

from conftest import cells, wafer

OXIDE = 3


def masked():
    """Silicon below z = 30 under two cells of oxide, open over x in [8, 40)."""
    volume = wafer(size=(48, 2, 36), substrate_height=32)
    materials = cells(volume)
    materials[:, :, 30:32] = OXIDE
    materials[8:40, :, 30:32] = 0
    volume.set_materials(materials)
    return volume


def test_bosch_drie_etches_cycles_times_depth_and_strips_its_film():
    volume = masked()
    volume.bosch_drie(material="Si", cycles=4, etch_depth_per_cycle=2.0,
                      passivation_thickness=1.0, isotropy=0.3, periodic_sides=True, seed=2)
    materials = cells(volume)
    column = materials[24, 0, :30]
    depth = 30 - (np.nonzero(column)[0].max() + 1)
    assert depth == pytest.approx(8, abs=2)
    assert not (materials == 18).any()
    assert (materials[:8, :, 30:32] == OXIDE).all()


def test_bosch_drie_refuses_a_cycle_shallower_than_a_cell():
    with pytest.raises(ValueError, match="at least one cell"):
        masked().bosch_drie(material="Si", cycles=2, etch_depth_per_cycle=0.5,
                            passivation_thickness=0.2, isotropy=0.3)
