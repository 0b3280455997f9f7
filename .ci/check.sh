# SPDX-License-Identifier: MIT
# Sourced by .ci/run and .ci/package-qa: check NAME COMMAND [ARG...] runs
# COMMAND under set -e with its output kept aside, and prints one line:
# "ok: NAME (N s)", or "FAIL: NAME" and the end of what COMMAND printed.
# Every check runs; summary prints the counts and fails if any check did.
# With CHECK_LOGS=dir set, each check's whole output is kept there.
passed=0
failed=0
scratch=$(mktemp -d) # readable by the build user too
chmod 755 "$scratch"
trap 'rm -rf "$scratch"' EXIT

check() {
    local name=$1 start=$SECONDS status log
    shift
    log=$(mktemp)
    set +e # an || here would turn set -e off inside the check too
    ( set -e; "$@" ) >"$log" 2>&1 </dev/null
    status=$?
    set -e
    if [ $status -eq 0 ]; then
        passed=$((passed + 1)) && echo "ok: $name ($((SECONDS - start)) s)"
    else
        failed=$((failed + 1)) && echo "FAIL: $name ($((SECONDS - start)) s, status $status); its last lines:"
        tail -n 40 "$log" | sed 's/^/    /'
    fi
    [ -z "${CHECK_LOGS:-}" ] || { mkdir -p "$CHECK_LOGS" && cp "$log" "$CHECK_LOGS/$(printf %s "${name%%:*}" | tr -c 'a-zA-Z0-9' -).log"; }
    rm -f "$log"
}

summary() { echo "$1: $passed passed, $failed failed" && [ $failed -eq 0 ]; }

# The archive this machine's apt takes Debian 12 from.
mirror() { apt-get indextargets --format '$(RELEASE) $(REPO_URI)' | awk '$1 == "bookworm" { print $2; exit }'; }

# need COMMAND=PACKAGE...: installs the packages whose command is missing,
# saying so in the words the build and the tests use.
need() {
    local missing=() pair
    for pair; do command -v "${pair%%=*}" >/dev/null || missing+=("${pair#*=}"); done
    [ ${#missing[@]} -eq 0 ] && return
    echo "missing tools: apt-get install ${missing[*]}"
    apt-get update -q >/dev/null && apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}
