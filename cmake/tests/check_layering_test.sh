#!/usr/bin/env bash
# The layering check on a recorded build that breaks the rule in each way it can (a stand-in's header, an xp/
# header, a header reached by a relative path, a stand-in's folder as include root), beside test code and
# platform code that may: it must fail and name exactly the breaches.
# usage: check_layering_test.sh PYTHON CHECK SAMPLE_DIR
set -uo pipefail
python=$1 check=$2 sample=$3
output=$("$python" "$check" /src/build /src --deps "$sample/deps.txt" --commands "$sample/compile_commands.json")
status=$?
if [ $status -ne 1 ]; then echo "expected exit status 1, got $status"; exit 1; fi
diff <(echo "$output") "$sample/expected.txt" || { echo "the check did not name exactly the breaches"; exit 1; }
