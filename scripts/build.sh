#!/usr/bin/env bash
# Configures and builds into the given folder: build.sh DIR [extra cmake arguments...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
bash "$top/scripts/deps.sh"
cmake -S "$top" -B "$dir" -G Ninja "$@" >/dev/null
ninja -C "$dir"
