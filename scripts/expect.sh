# shellcheck shell=bash
# Sourced by the check scripts: `expect DESCRIPTION EXPECTED ACTUAL` prints "ok: DESCRIPTION" or
# a FAILED line with both values, and counts the failures in $failures.
failures=0

expect() {
    if [ "$2" != "$3" ]; then
        echo "FAILED: $1 (got '$3', expected '$2')"
        failures=$((failures + 1))
    else
        echo "ok: $1"
    fi
}
