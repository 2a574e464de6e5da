#!/bin/sh
# soak_short.sh against a stand-in for the soak tool that fails or passes as
# each case says, run by run: when it retries, and what it returns.
wrapper="$1"
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT

# The stand-in: run n does what word n of $tmp/plan says.
cat >"$tmp/soak" <<'STAND_IN'
#!/bin/sh
dir=$(dirname "$0")
echo x >>"$dir/runs"
n=$(wc -l <"$dir/runs")
what=$(cut -d' ' -f"$n" "$dir/plan")
echo "soak: seed $n, 60 s"
case "$what" in
pass) echo "soak: PASS"; exit 0 ;;
memory) echo "soak: FAIL: resident memory grew by 1.08 MiB (bar: below 1.0 MiB)"; exit 1 ;;
died) echo "soak: FAIL: the program died"; exit 1 ;;
both) echo "soak: FAIL: a body turned non-finite"; echo "soak: FAIL: resident memory grew by 3.00 MiB (bar: below 1.0 MiB)"; exit 1 ;;
usage) echo "usage: prallwerk-soak ..." >&2; exit 2 ;;
esac
STAND_IN
chmod +x "$tmp/soak"

# plan | expected status (0 or not) | expected runs
while read -r plan expected runs; do
    echo "$plan" | tr ',' ' ' >"$tmp/plan"
    rm -f "$tmp/runs"
    "$wrapper" "$tmp/soak" --seconds 60 >"$tmp/out" 2>&1
    status=$?
    got=$(wc -l <"$tmp/runs")
    case "$expected" in
    0) [ "$status" -eq 0 ] || fail "$plan: status $status, expected 0" ;;
    *) [ "$status" -ne 0 ] || fail "$plan: passed, expected a failure" ;;
    esac
    [ "$got" -eq "$runs" ] || fail "$plan: $got runs, expected $runs"
    grep -q "soak: seed 1" "$tmp/out" || fail "$plan: the first run's output was not shown"
done <<'CASES'
pass 0 1
memory,pass 0 2
memory,memory 1 2
memory,died 1 2
died,pass 1 1
both,pass 1 1
usage,pass 2 1
CASES
echo "PASS"
