# Shared by the scripts that check the Windows build under Wine
# (test-windows.sh, package-windows.sh, and wine-window-checks.sh through the
# first): the tally of checks and the names Wine gives things. Sourced.

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS   $1"; }
fail() { failed=$((failed + 1)); echo "FAIL!  $1"; }
expect() { # expect NAME COMMAND...: the command's success is the check
  local name="$1"; shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}

# A Linux path as Wine's drive Z: names it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# The data of value $1 in the output of "reg query" on standard input; empty
# when the value is not there.
reg_field() { sed -n "s/^    $1    REG_[A-Z_]*    //p"; }
