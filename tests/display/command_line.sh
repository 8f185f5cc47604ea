#!/usr/bin/env bash
# The real program's command line, without a display: --help and --version print and end
# with 0, a bad option is one line on standard error and ends with 2; none of them opens a
# window or writes anything.
set -u
exe=$1
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME=$config
unset DISPLAY WAYLAND_DISPLAY
status=0
# expect CODE PATTERN ARGS...: the exit code, and a pattern of the output (standard output
# for code 0, standard error otherwise, which must then be one line).
expect() {
  local code=$1 pattern=$2 out err rc=0
  shift 2
  out=$("$exe" "$@" 2>"$config/err") || rc=$?
  err=$(cat "$config/err")
  rm -f "$config/err"
  if [ "$rc" -ne "$code" ]; then
    echo "FAIL: vantor $*: exit code $rc, want $code"
    status=1
  fi
  if [ "$code" -eq 0 ]; then
    grep -q -- "$pattern" <<<"$out" || { echo "FAIL: vantor $*: no '$pattern' in: $out"; status=1; }
  else
    [ -z "$out" ] || { echo "FAIL: vantor $*: printed on standard output: $out"; status=1; }
    [ "$(wc -l <<<"$err")" -eq 1 ] || { echo "FAIL: vantor $*: more than one line: $err"; status=1; }
    grep -q -- "$pattern" <<<"$err" || { echo "FAIL: vantor $*: no '$pattern' in: $err"; status=1; }
  fi
}
expect 0 '--windowed' --help
expect 0 '--host' --help
expect 0 'F11' --help
expect 0 '^vantor [0-9]' --version
# One bad option for the real program's exit; CommandLine.BadOptionsEndWithOneLineAndCodeTwo
# has the others.
expect 2 'not expected: --bogus' --bogus
[ -z "$(ls -A "$config")" ] || { echo "FAIL: wrote $(ls -A "$config")"; status=1; }
[ "$status" -eq 0 ] && echo "PASS: --help, --version and bad options"
exit "$status"
