#!/bin/sh
# Runs one test command with a fresh temporary HOME as its working directory.
set -u
home=$(mktemp -d "${TMPDIR:-/tmp}/cellvane-test.XXXXXX") || exit 1
trap 'rm -rf "$home"' EXIT INT TERM
export HOME="$home"
export XDG_RUNTIME_DIR="$home"
export XDG_CACHE_HOME="$home/.cache"
if [ -z "${DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    export QT_QPA_PLATFORM=offscreen
fi
cd "$home" || exit 1
"$@"
