#!/usr/bin/env bash
# Installs every package needed to build, test and run Cellvane on Debian 12, and any packages
# named as arguments.
# Idempotent: when everything is present it only runs dpkg-query and exits.
set -euo pipefail

packages=(
    cmake g++ make ccache pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5opengl5-dev
    libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri
    # Pictures drawn without a display: EGL on Mesa's surfaceless platform.
    libegl-dev libegl-mesa0
    xvfb xauth xdotool imagemagick
    libgtest-dev libgmock-dev libbenchmark-dev
    # Tests read the exported meshes and volumes back with the tools users open them in.
    admesh python3-vtk9
    # Tests check that the documents the runner writes are well-formed XML.
    libxml2-utils
    # The extracted netlists are simulated with a circuit simulator.
    ngspice
    # Layout masks: the GDSII reading library; tests write layouts with an independent writer
    # and check the rasterised masks against an independent point-in-polygon test.
    libgdsii-dev python3-gdspy python3-shapely
    # The Python module and its tests; matplotlib draws the example's cross-section.
    pybind11-dev python3-dev python3-numpy python3-pytest python3-matplotlib
    # Cross-section pictures are written as SVG too; an independent renderer checks them, and
    # their text needs a font.
    libqt5svg5-dev librsvg2-bin fonts-dejavu-core
    # The plots of a study are drawn with Qt Charts.
    libqt5charts5-dev
    # Undo records are compressed with Zstandard.
    libzstd-dev
    # The fuzz targets of the file readers: clang with libFuzzer and the sanitizer runtimes.
    clang libclang-rt-14-dev
    # The study's batch engine is tested on a one-node Slurm cluster that the tests start.
    slurmctld slurmd slurm-client munge
    # The Debian package: manual pages from --help, icons rendered from the SVG, the package's
    # dependencies from dpkg-shlibdeps, and the checks of its test (lintian, the desktop entry,
    # man, the file types as the desktop sees them).
    help2man librsvg2-bin dpkg-dev lintian desktop-file-utils man-db
    shared-mime-info xdg-utils libfile-mimeinfo-perl
)
# Callers with needs beyond these (the benchmarks' peer comparison) name further packages.
packages+=("$@")

exec "$(dirname "$0")/install-packages.sh" "${packages[@]}"
