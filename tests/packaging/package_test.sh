#!/usr/bin/env bash
# Makes the Debian package from this build tree and checks it as a user's machine meets it:
# lintian finds no error nor warning (a program without a manual page is one), the desktop
# entry validates, the package holds what it promises and nothing outside /usr, the desktop
# knows the file types, and the programs run from an unpacked root without the build tree:
# --version, the example process list, an export, each manual page through man, the Python
# module imported by Debian's python3 from the unpacked tree, and the window opening a document.
#
# Usage: package_test.sh BUILD_DIR PROGRAM...   (CELLVANE_ICON_SIZES: the rendered icon sizes)
set -euo pipefail
build=$1
shift
programs=("$@")
work=$(mktemp -d "${TMPDIR:-/tmp}/cellvane-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME"
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

version=$(head -n1 "$build/version.txt")
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack could not make the package" >&2
    exit 1
fi
deb="$work/out/cellvane_${version}_$(dpkg --print-architecture).deb"
if [ ! -f "$deb" ]; then
    echo "FAIL: no $(basename "$deb"); cpack made: $(ls "$work/out")" >&2
    exit 1
fi
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

echo "--- lintian"
lintian --fail-on error,warning --tag-display-limit 0 "$deb" || fail "lintian reports errors or warnings"

echo "--- contents"
dpkg-deb --contents "$deb" | awk '{ print $NF }' | sed 's|^\./|/|' >"$work/contents"
expect() {
    grep -qxF "$1" "$work/contents" || fail "the package lacks $1"
}
for program in "${programs[@]}"; do
    expect "/usr/bin/$program"
    expect "/usr/share/man/man1/$program.1.gz"
done
expect /usr/share/applications/cellvane.desktop
expect /usr/share/mime/packages/cellvane.xml
expect /usr/share/icons/hicolor/scalable/apps/cellvane.svg
for size in ${CELLVANE_ICON_SIZES:?}; do
    expect "/usr/share/icons/hicolor/${size}x${size}/apps/cellvane.png"
done
expect /usr/share/doc/cellvane/copyright
expect /usr/share/doc/cellvane/changelog.gz
# Every example the README runs is in the package.
for example in trench.plst trench-mask.png trench-study.plst trench-measure.plst flow.py; do
    expect "/usr/share/doc/cellvane/examples/$example"
done
# The module where Debian's python3 finds it, with its stub; its name carries the ABI tag.
pythondir=/usr/lib/python3/dist-packages
grep -qE "^$pythondir/cellvane\.cpython-[^/]*\.so\$" "$work/contents" ||
    fail "the package lacks the Python module in $pythondir"
expect "$pythondir/cellvane.pyi"
outside=$(grep -v -e '^/$' -e '^/usr/' "$work/contents" || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
# /usr/bin holds the programs, all of them and nothing else.
installed=$(grep '^/usr/bin/.' "$work/contents" | sort)
listed=$(printf '/usr/bin/%s\n' "${programs[@]}" | sort)
[ "$installed" = "$listed" ] || fail "/usr/bin holds $(echo $installed), expected $(echo $listed)"

root="$work/root"
dpkg-deb -x "$deb" "$root"
echo "--- desktop entry"
desktop-file-validate "$root/usr/share/applications/cellvane.desktop" ||
    fail "desktop-file-validate rejects the desktop entry"

echo "--- file types"
# As the desktop sees them once the package's triggers have run.
# (update-mime-database warns that the temporary root is not where desktops look; it is meant.)
update-mime-database "$root/usr/share/mime" >/dev/null 2>&1 || fail "the MIME XML does not load"
update-desktop-database "$root/usr/share/applications" || fail "the desktop entry does not load"
desktop() {
    XDG_DATA_DIRS="$root/usr/share:/usr/share" xdg-mime query "$@" 2>/dev/null
}
touch "$work/wafer.cvx" "$work/steps.plst"
[ "$(desktop filetype "$work/wafer.cvx")" = application/x-cellvane-document ] ||
    fail "a .cvx file is not a Cellvane document to the desktop"
[ "$(desktop filetype "$work/steps.plst")" = application/x-cellvane-process-list ] ||
    fail "a .plst file is not a Cellvane process list to the desktop"
[ "$(desktop default application/x-cellvane-document)" = cellvane.desktop ] ||
    fail "Cellvane does not open Cellvane documents"

echo "--- programs"
# No display, no build tree: what an installed program finds is the system and the package.
run() {
    env -u DISPLAY -u QT_QPA_PLATFORM -u LD_LIBRARY_PATH PATH="$root/usr/bin:/usr/bin:/bin" "$@"
}
for program in "${programs[@]}"; do
    if ldd "$root/usr/bin/$program" | grep -e "not found" -e "$build"; then
        fail "$program needs libraries from outside the system"
    fi
    # Only standard output is the answer: Qt may warn on standard error about the environment.
    said=$(run "$program" --version 2>/dev/null) || fail "$program --version failed: $said"
    [ "$said" = "$program $version" ] || fail "$program --version says '$said', not '$program $version'"
    echo "$said"
done

# Anything but the help and the version needs the window's platform, here the offscreen one.
status=0
run env QT_QPA_PLATFORM=offscreen cellvane --no-such-option >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "cellvane takes a wrong option with status $status, not 2 (bad usage)"

mkdir "$work/run"
cd "$work/run"
cp "$root/usr/share/doc/cellvane/examples/trench.plst" .
run cellvane-run trench.plst --output trench.cvx || fail "the example list did not run"
[ -s trench.cvx ] || fail "the example list wrote no document"
[ -s trench.png ] || fail "the example list drew no picture"
run cellvane-export trench.cvx --mesh trench.obj --vti trench.vti || fail "the export failed"
[ -s trench.obj ] && [ -s trench.mtl ] && [ -s trench.vti ] || fail "the export wrote no files"

echo "--- python module"
# Only the unpacked tree on the path: a module of the build tree or of an installed package
# must not answer for it.
said=$(run env PYTHONPATH="$root$pythondir" PYTHONNOUSERSITE=1 QT_QPA_PLATFORM=offscreen \
    /usr/bin/python3 -c '
import cellvane, sys
document = cellvane.run_list("trench.plst")
print(cellvane.__file__)
print(len(document.volumes))
' 2>"$work/python.err") || fail "the packaged module cannot run the example: $(cat "$work/python.err")"
case "$said" in
"$root$pythondir/"*) ;;
*) fail "python3 imported the module from '$(echo "$said" | head -n1)', not the package" ;;
esac
[ "$(echo "$said" | tail -n1)" -ge 1 ] 2>/dev/null || fail "the packaged module made no cell volume: $said"

echo "--- the window"
# The installed program opens the document it is given in a window named after it; SIGTERM
# ends it without questions.
if ! run xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
    cellvane trench.cvx 2>"$0" &
    program=$!
    for attempt in $(seq 150); do
        if xdotool search --onlyvisible --name "trench" >/dev/null 2>&1; then
            kill -TERM $program
            wait $program
            exit 0
        fi
        kill -0 $program 2>/dev/null || exit 1
        sleep 0.2
    done
    kill -KILL $program
    exit 1' "$work/window.err"; then
    fail "the installed cellvane did not open trench.cvx in a window: $(cat "$work/window.err")"
fi

echo "--- manual pages"
for program in "${programs[@]}"; do
    page="$root/usr/share/man/man1/$program.1.gz"
    if ! MANWIDTH=80 MANPAGER=cat man -l "$page" >"$work/page" 2>"$work/page.err"; then
        fail "man cannot show $program.1.gz"
    fi
    [ ! -s "$work/page.err" ] || fail "man warns about $program.1.gz: $(cat "$work/page.err")"
    grep -A1 '^NAME' "$work/page" | tail -n1 | grep -Eq "^ *$program +- " ||
        fail "$program.1 has no NAME line for $program"
    grep -q '^EXAMPLES' "$work/page" || fail "$program.1 has no EXAMPLES section"
    grep -qF -- "--version" "$work/page" || fail "$program.1 does not list --version"
done

[ "$failures" -eq 0 ] || exit 1
echo "package checked"
