# shellcheck shell=bash
# What the benchmark scripts share (sourced after scripts/e2e-env.sh): a
# private Wine prefix with the programs in C:\e2e, wdbench.exe runs, and the
# RESULT lines (bench/README.md) that every benchmark prints.

# bench_prepare NAME [BUILD-TARGETS...]: builds (unless $build is empty),
# starts Xvfb and makes the prefix $prefix with wardeck.exe, wdbench.exe,
# dummy.exe and procbench.exe (those that exist) in C:\e2e. Work files go to
# $out (removed at exit).
bench_prepare() {
    local name=$1
    shift
    out=$E2E_WORK/bench-$name-$$
    mkdir -p "$out"
    trap 'e2e_cleanup; rm -rf "$out"' EXIT
    trap 'exit 143' TERM INT
    if [[ -n ${build:-} ]]; then
        (
            cd "$E2E_REPO" || exit 1
            cmake --preset windows && cmake --build --preset windows -j "$(nproc)" &&
                { (($# == 0)) || cmake --build --preset windows -j "$(nproc)" --target "$@"; }
        ) >"$out/build.log" 2>&1 || { tail -n 20 "$out/build.log" >&2; e2e_die "the benchmark does not build"; }
    fi
    local exe
    for exe in wardeck.exe wdbench.exe dummy.exe; do
        [[ -f $E2E_BUILD/$exe ]] || e2e_die "no $E2E_BUILD/$exe: build first"
    done
    e2e_xvfb_start
    e2e_locale
    e2e_template
    prefix=$out/prefix
    e2e_prefix "$prefix"
    mkdir -p "$prefix/drive_c/e2e"
    for exe in wardeck.exe wdbench.exe dummy.exe procbench.exe; do
        [[ -f $E2E_BUILD/$exe ]] && cp "$E2E_BUILD/$exe" "$prefix/drive_c/e2e/"
    done
}

# bench_wdbench NAME [OPTIONS...]: runs `wdbench NAME` against wardeck.exe
# in the prefix, its log in $out/NAME.log; prints its RESULT and NOTMEASURED
# lines, and its failed checks on standard error. A benchmark whose own
# checks failed (a "not ok" line), that exited with another code than 0 or
# did not finish gives no figure: each of its RESULT lines becomes a
# NOTMEASURED line that says why. Fails then.
bench_wdbench() {
    local name=$1
    shift
    local log=$out/$name.log rc=0 why=''
    timeout --kill-after=10 "${BENCH_LIMIT:-900}" env "${E2E_LOCALE_ENV[@]}" WINEPREFIX="$prefix" \
        wine 'C:\e2e\wdbench.exe' "$name" --app 'C:\e2e\wardeck.exe' \
        --log "$(e2e_winpath "$log")" --out "$(e2e_winpath "$out")" "$@" >"$out/$name.wine.log" 2>&1 || rc=$?
    # Its failed checks and its notes (one line per round or period) on standard error.
    grep -E '^(not ok - |#)' "$log" 2>/dev/null | sed 's/^/  /' >&2
    if ! grep -q '^# [0-9]* passed, [0-9]* failed' "$log" 2>/dev/null; then
        why="wdbench $name did not finish (exit code $rc)"
        printf 'NOTMEASURED\twdbench.%s\t%s\n' "$name" "$why"
    elif grep -q '^not ok - ' "$log"; then
        why="a check of wdbench $name failed: $(grep -m1 '^not ok - ' "$log" | sed 's/^not ok - //')"
    elif ((rc != 0)); then
        why="wdbench $name exit code $rc"
    fi
    bench_lines <"$log" 2>/dev/null | bench_unless "$why"
    [[ -z $why ]]
}

# The RESULT and NOTMEASURED lines of standard input, without carriage returns.
bench_lines() { tr -d '\r' | grep -E $'^(RESULT|NOTMEASURED)\t'; }

# bench_unless WHY: standard input's lines as they are when WHY is empty;
# otherwise every RESULT line becomes "NOTMEASURED name WHY": a benchmark whose
# own checks failed gives no figure.
bench_unless() {
    if [[ -z $1 ]]; then
        cat
    else
        awk -F'\t' -v why="$1" 'BEGIN { OFS = "\t" } $1 == "RESULT" { print "NOTMEASURED", $2, why; next } { print }'
    fi
}

# bench_value NAME FILE: the value of RESULT line NAME in FILE (empty if none).
bench_value() { awk -F'\t' -v n="$1" '$1 == "RESULT" && $2 == n { print $3; exit }' "$2"; }
