#!/usr/bin/env bash
# Configures and builds into the given folder: build.sh DIR [extra cmake arguments...]
# XP_JOBS, when set, caps the parallel compile jobs (machines shared by several builds).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
bash "$top/scripts/deps.sh"
cmake -S "$top" -B "$dir" -G Ninja "$@" >/dev/null
ninja -C "$dir" ${XP_JOBS:+-j "$XP_JOBS"}
