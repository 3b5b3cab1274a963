#!/usr/bin/env bash
# Command-line conventions of orvanta and rdbcli: --help on standard output with status 0,
# --version as "NAME VERSION", a bad argument gives status 2 and the usage on standard
# error. orvanta answers --help and --version without a display.
#   cli_test.sh ORVANTA RDBCLI VERSION
set -uo pipefail

# Absolute: the programs run from a scratch folder.
ORVANTA="$(realpath "$1")"
RDBCLI="$(realpath "$2")"
VERSION="$3"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
# A started window would block here; nothing in these runs may take this long.
LIMIT=30
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# run PROGRAM ARGS...: sets status, out and err. Runs in an empty folder, so a desk that
# starts anyway finds no settings and waits on its error box until the time limit.
run() {
    (cd "$WORK" && timeout "$LIMIT" "$@" >"$WORK/out" 2>"$WORK/err")
    status=$?
    out="$(cat "$WORK/out")"
    err="$(cat "$WORK/err")"
}

# expect_info NAME PROGRAM...: --help and --version of one program.
expect_info() {
    local name="$1"
    shift
    run "$@" --help
    [ "$status" -eq 0 ] || fail "$name --help: status $status"
    [[ "$out" == "Usage: $name "* ]] || fail "$name --help: no usage on standard output: '$out'"
    [ -z "$err" ] || fail "$name --help wrote to standard error: '$err'"
    run "$@" -h
    [ "$status" -eq 0 ] && [[ "$out" == "Usage: $name "* ]] || fail "$name -h: status $status, '$out'"
    run "$@" --version
    [ "$status" -eq 0 ] || fail "$name --version: status $status"
    [ "$out" = "$name $VERSION" ] || fail "$name --version printed '$out', not '$name $VERSION'"
    [ -z "$err" ] || fail "$name --version wrote to standard error: '$err'"
}

# expect_bad NAME ARGS...: status 2, nothing on standard output, the usage on standard error.
expect_bad() {
    local name="$1"
    shift
    run "$@"
    local shown="$*"
    [ "$status" -eq 2 ] || fail "'$shown': status $status, not 2 (stderr: '$err')"
    [ -z "$out" ] || fail "'$shown' wrote to standard output: '$out'"
    grep -q "^Usage: $name " <<<"$err" || fail "'$shown': no usage on standard error: '$err'"
}

# The desk without any display: no X, no Wayland, no platform chosen.
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
expect_info orvanta "${no_display[@]}" "$ORVANTA"
expect_info rdbcli "$RDBCLI"

# Help wins wherever it stands, even after Qt's own options.
run "${no_display[@]}" "$ORVANTA" -platform offscreen --version
[ "$status" -eq 0 ] && [ "$out" = "orvanta $VERSION" ] || fail "orvanta -platform offscreen --version: status $status, '$out'"

# Qt takes its own options out of the command line; only what is left is refused, and it
# is named.
expect_bad orvanta env QT_QPA_PLATFORM=offscreen "$ORVANTA" --no-such-option
expect_bad orvanta env -u QT_QPA_PLATFORM "$ORVANTA" -platform offscreen -bogus
grep -q "'-bogus'" <<<"$err" || fail "orvanta does not name the argument it refused: '$err'"
expect_bad orvanta env QT_QPA_PLATFORM=offscreen "$ORVANTA" 설정.ini
grep -q "'설정.ini'" <<<"$err" || fail "orvanta mangles a Korean argument: '$err'"

# Without any display a wrong argument gets the same answer as with one, and a start with
# nothing wrong says why no window can come, instead of Qt's abort.
expect_bad orvanta "${no_display[@]}" "$ORVANTA" --bogus
grep -q "'--bogus'" <<<"$err" || fail "orvanta without a display does not name the argument: '$err'"
expect_bad orvanta "${no_display[@]}" "$ORVANTA" -style fusion --bogus
run "${no_display[@]}" "$ORVANTA"
[ "$status" -eq 1 ] && grep -q "DISPLAY" <<<"$err" || fail "orvanta without a display: status $status, '$err'"

expect_bad rdbcli "$RDBCLI" --no-such-option value
expect_bad rdbcli "$RDBCLI"
expect_bad rdbcli "$RDBCLI" -S
expect_bad rdbcli "$RDBCLI" -S "file:$WORK/x.db"
expect_bad rdbcli "$RDBCLI" --feed "$WORK/x.db" --every soon

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all command-line checks passed"
