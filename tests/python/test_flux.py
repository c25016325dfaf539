"""volume.surface_flux: the flux engine's map as an array."""

import numpy as np
import pytest

from conftest import cells, wafer


def slotted():
    """A 4-cell-wide slot, 8 deep, across the wafer along y."""
    volume = wafer(size=(16, 6, 14), substrate_height=12)
    materials = cells(volume)
    materials[6:10, :, 4:12] = 0
    volume.set_materials(materials)
    return volume


def test_surface_flux_is_a_float_map_of_the_surface_only():
    volume = slotted()
    flux = volume.surface_flux(periodic_sides=True, rays_per_cell=200, seed=4)
    assert flux.dtype == np.float32 and flux.shape == (16, 6, 14)
    materials = cells(volume)
    # Empty cells and buried ones hold 0; the open field about 1, the slot's bottom far less.
    assert not flux[materials == 0].any()
    assert flux[2, 3, 10] == 0.0
    assert flux[2, :, 11].mean() == pytest.approx(1.0, abs=0.05)
    bottom = flux[7:9, :, 3].mean()
    assert 0.05 < bottom < 0.5
    direct = volume.surface_flux(periodic_sides=True, rays_per_cell=200, seed=4, part="direct")
    assert (direct <= flux + 1e-6).all()
    np.testing.assert_array_equal(
        flux, volume.surface_flux(periodic_sides=True, rays_per_cell=200, seed=4))
    # Particles that bounce fill the slot more evenly than those that stick.
    bouncing = volume.surface_flux(sticking=0.05, periodic_sides=True, rays_per_cell=200)
    assert bouncing[7:9, :, 3].mean() > bottom


@pytest.mark.parametrize("keywords, words", [
    (dict(part="both"), "part"),
    (dict(sticking=2.0), "sticking probability"),
    (dict(source_exponent=-1.0), "source exponent"),
    (dict(rays_per_cell=0), "rays per surface cell"),
])
def test_surface_flux_refuses_settings_out_of_range(keywords, words):
    with pytest.raises(ValueError, match=words):
        slotted().surface_flux(**keywords)
