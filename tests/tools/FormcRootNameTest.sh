#!/usr/bin/env bash
# The form compiler refuses a description whose root object is not named as its class without the
# leading "T": a translation module saves a form under "T" + its root's name and the program reads
# it under its class name, so such a form would be saved where nothing reads it.
#
#   FormcRootNameTest.sh FORMC
set -uo pipefail
formc="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
    echo "FAILED: $1"
    failures=$((failures + 1))
}

printf 'object MainForm: TSetupForm\n  Caption = %s\nend\n' "'Setup'" >"$scratch/Misnamed.dfm"
if output="$("$formc" "$scratch/Misnamed.dfm" "$scratch/Misnamed.bin" 2>&1)"; then
    fail "a misnamed root was compiled"
fi
grep -qF -- "formc: $scratch/Misnamed.dfm: the root object 'MainForm' of class TSetupForm would be saved as TMAINFORM but is read as TSETUPFORM: name it 'SetupForm'" <<<"$output" ||
    fail "the refusal names file, root, class and the name to use: $output"
[[ ! -e "$scratch/Misnamed.bin" ]] || fail "a refused form left an output file"

# Names compare as resource names do, without regard to case; inherited forms are held to it too.
printf 'object setupform: TSetupForm\nend\n' >"$scratch/Lower.dfm"
"$formc" "$scratch/Lower.dfm" "$scratch/Lower.bin" || fail "a root named in other case was refused"
printf 'inherited Child: TChildForm\nend\n' >"$scratch/Inherited.dfm"
"$formc" "$scratch/Inherited.dfm" "$scratch/Inherited.bin" 2>/dev/null && fail "a misnamed inherited root was compiled"

echo "$failures failure(s)"
[[ $failures -eq 0 ]]
