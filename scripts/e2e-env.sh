# shellcheck shell=bash
# The Wine environment of the end-to-end tests and the start-up benchmark.
# Sourced by tests/e2e/run and bench/startup; defines e2e_* functions and
# leaves every process it starts to e2e_cleanup (call it from an EXIT trap).
#
#   E2E_REPO      the repository root (set from this file's place)
#   E2E_WORK      build/e2e: prefix template, locale, per-run prefixes
#   E2E_BUILD     build/windows: wardeck.exe and the client programs

E2E_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
E2E_WORK=${E2E_WORK:-$E2E_REPO/build/e2e}
E2E_BUILD=${E2E_BUILD:-$E2E_REPO/build/windows}

# Bump when the recipe of the prefix template changes, so old caches are not used.
E2E_TEMPLATE_RECIPE=7

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset WINESERVER WINELOADER

E2E_XVFB_PID=
E2E_PREFIXES=()

e2e_log() { printf '%s e2e: %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
e2e_die() { e2e_log "error: $*"; exit 2; }

# Builds wardeck.exe and the client programs (incremental).
e2e_build() {
    local log=${1:-/dev/stderr}
    (
        cd "$E2E_REPO" || exit 1
        cmake --preset windows || exit 1
        cmake --build --preset windows -j "$(nproc)"
    ) >>"$log" 2>&1
}

E2E_LOCALE_ENV=()

# A private zh_CN.UTF-8 locale, so Wine runs with the Chinese code page and
# Chinese arguments survive the trip through the Unix side.
e2e_locale() {
    local dir=$E2E_WORK/locale
    if [[ ! -f $dir/zh_CN.UTF-8/LC_CTYPE ]]; then
        mkdir -p "$dir"
        # localedef exits 1 on warnings even when the locale was written.
        localedef -i zh_CN -f UTF-8 "$dir/zh_CN.UTF-8" >/dev/null 2>&1 || true
        [[ -f $dir/zh_CN.UTF-8/LC_CTYPE ]] || e2e_die "localedef could not make zh_CN.UTF-8"
    fi
    E2E_LOCALE_ENV=(LOCPATH="$dir" LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8)
}

# Runs a Wine program with the Chinese locale (the shell itself keeps its own).
e2e_wine() { env "${E2E_LOCALE_ENV[@]}" wine "$@"; }

# Starts Xvfb on a display number that it picks itself (-displayfd).
e2e_xvfb_start() {
    local screen=${1:-1280x1024x24}
    local fdfile
    fdfile=$(mktemp "${TMPDIR:-/tmp}/e2e-xvfb.XXXXXX")
    Xvfb -displayfd 7 -screen 0 "$screen" -nolisten tcp -noreset \
        -ac 7>"$fdfile" 2>"$E2E_WORK/xvfb.log" &
    E2E_XVFB_PID=$!
    local i
    for ((i = 0; i < 200; i++)); do
        if [[ -s $fdfile ]] && grep -q . "$fdfile"; then break; fi
        kill -0 "$E2E_XVFB_PID" 2>/dev/null || { rm -f "$fdfile"; e2e_die "Xvfb did not start (see $E2E_WORK/xvfb.log)"; }
        sleep 0.05
    done
    local n
    n=$(tr -dc 0-9 <"$fdfile")
    rm -f "$fdfile"
    [[ -n $n ]] || e2e_die "Xvfb gave no display number"
    export DISPLAY=:$n
    e2e_log "Xvfb pid $E2E_XVFB_PID on $DISPLAY"
}

e2e_wine_key() {
    local v
    v=$(wine --version 2>/dev/null) || e2e_die "wine is not installed (run scripts/setup)"
    v=${v//[^A-Za-z0-9.-]/_}
    # The fonts on hand decide what the template carries.
    [[ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ]] && v+=-mh
    echo "$v-r$E2E_TEMPLATE_RECIPE"
}

# wine reg add, quietly.
e2e_reg() { e2e_wine reg "$@" >/dev/null 2>&1; }

# The prefix template: made once per Wine version and recipe, then copied.
e2e_template() {
    local key template tmp
    ((${#E2E_LOCALE_ENV[@]})) || e2e_locale
    key=$(e2e_wine_key)
    template=$E2E_WORK/prefix-template-$key
    mkdir -p "$E2E_WORK"
    exec 8>"$E2E_WORK/template.lock"
    flock 8
    if [[ ! -f $template/.e2e-ready ]]; then
        rm -rf "$E2E_WORK"/prefix-template-*
        tmp=$E2E_WORK/prefix-template.tmp.$$
        rm -rf "$tmp"
        mkdir -p "$tmp"
        e2e_log "making the Wine prefix template ($key), once"
        (
            export WINEPREFIX=$tmp
            env "${E2E_LOCALE_ENV[@]}" wineboot -i >/dev/null 2>&1
            wineserver -w
            # Unmanaged windows: no window manager round trips, no 2 s stall on hide.
            e2e_reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
            e2e_reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d Y /f
            e2e_reg add 'HKLM\Software\Wine\Drives' /v g: /d floppy /f
            # No crash dialog: a crashed program just ends.
            e2e_reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
            e2e_reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f
            e2e_reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d 'false' /f
            # Smoothed (grey) text, as a Chinese desktop has it.
            e2e_reg add 'HKCU\Control Panel\Desktop' /v FontSmoothing /d 2 /f
            e2e_reg add 'HKCU\Control Panel\Desktop' /v FontSmoothingType /t REG_DWORD /d 1 /f
            # The message font of a Chinese desktop, 9-point SimSun (a LOGFONTW:
            # height -12 at 96 DPI, weight 400, GB2312 character set).
            e2e_reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v MessageFont /t REG_BINARY /d \
                f4ffffff000000000000000000000000900100000000008600000000530069006d00530075006e00$(printf '0%.0s' {1..104}) /f
            # Chinese UI fonts map to a WenQuanYi font that the prefix carries:
            # Micro Hei (clean outlines at 12 px) or else Zen Hei.
            local cjk="WenQuanYi Zen Hei"
            [[ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ]] && cjk="WenQuanYi Micro Hei"
            local subst='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
            local f
            for f in SimSun NSimSun 宋体 新宋体 "Microsoft YaHei" 微软雅黑 SimHei 黑体; do
                e2e_reg add "$subst" /v "$f" /d "$cjk" /f
            done
            wineserver -w
            mkdir -p "$tmp/drive_c/windows/Fonts"
            cp /usr/share/wine/fonts/*.ttf "$tmp/drive_c/windows/Fonts/" 2>/dev/null || true
            local wqy
            for wqy in /usr/share/fonts/truetype/wqy/wqy-zenhei.ttc /usr/share/fonts/truetype/wqy/wqy-microhei.ttc; do
                [[ -f $wqy ]] && cp "$wqy" "$tmp/drive_c/windows/Fonts/"
            done
            wineserver -k 2>/dev/null || true
            wineserver -w
        ) || { rm -rf "$tmp"; e2e_die "wineboot failed"; }
        [[ -f $tmp/system.reg ]] || { rm -rf "$tmp"; e2e_die "wineboot made no prefix"; }
        touch "$tmp/.e2e-ready"
        mv "$tmp" "$template"
    fi
    flock -u 8
    exec 8>&-
    E2E_TEMPLATE=$template
}

# e2e_prefix DEST [DPI]: a private copy of the template, with drive G: mapped
# to DEST.g (an empty folder) and, if given, the screen DPI set.
e2e_prefix() {
    local dest=$1 dpi=${2:-}
    [[ -n ${E2E_TEMPLATE:-} ]] || e2e_template
    rm -rf "$dest"
    cp -a "$E2E_TEMPLATE" "$dest"
    # Nothing of a running wineserver may come along with the copy.
    find "$dest" -maxdepth 1 \( -name '.e2e-ready' -o -name 'wineserver*' -o -name '*.lock' \) -exec rm -rf {} +
    find "$dest" -type s -delete 2>/dev/null || true
    mkdir -p "$dest.g"
    ln -sfn "$dest.g" "$dest/dosdevices/g:"
    E2E_PREFIXES+=("$dest")
    if [[ -n $dpi ]]; then
        WINEPREFIX=$dest e2e_reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
        WINEPREFIX=$dest wineserver -k 2>/dev/null || true
        WINEPREFIX=$dest wineserver -w
    fi
}

# Stops the wineserver of a prefix (and so every Wine process in it).
e2e_prefix_stop() {
    local p=$1
    [[ -d $p ]] || return 0
    WINEPREFIX=$p timeout 10 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX=$p timeout 10 wineserver -w >/dev/null 2>&1 || true
}

e2e_cleanup() {
    local p
    for p in "${E2E_PREFIXES[@]}"; do
        e2e_prefix_stop "$p"
    done
    if [[ -n $E2E_XVFB_PID ]]; then
        kill "$E2E_XVFB_PID" 2>/dev/null || true
        wait "$E2E_XVFB_PID" 2>/dev/null || true
        E2E_XVFB_PID=
    fi
    if [[ -z ${E2E_KEEP_PREFIX:-} ]]; then
        for p in "${E2E_PREFIXES[@]}"; do
            rm -rf "$p" "$p.g"
        done
    fi
    E2E_PREFIXES=()
}

# Unix path -> the path the Windows side sees (Wine maps / to Z:).
e2e_winpath() {
    local p
    p=$(realpath -m "$1")
    p=${p//\//\\}
    printf 'Z:%s' "$p"
}
