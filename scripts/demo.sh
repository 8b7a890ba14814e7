#!/usr/bin/env bash
# The system's main job today: a throwaway simulated machine with a factory-new token, driven through tokenio.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/build.sh" "$top/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
machine=$(mktemp -d /tmp/xpmachine.XXXXXX)
trap 'rm -rf "$machine"' EXIT
bin="$top/build/bin"
"$bin/xpmachine" new "$machine/pc" --token-seed 7
"$bin/xpmachine" token show "$machine/pc"
XPMACHINE_CLOCK=virtual "$bin/xpmachine" run "$machine/pc" "$bin/token_demo"
echo "The token afterwards (its failed-attempt counter counts the last wrong password):"
"$bin/xpmachine" token show "$machine/pc" | grep -E '^(password|counter|status)'
