#!/usr/bin/env bash
# The installed tree and the Debian packages, checked with the tools a distribution uses.
#   packaging_test.sh stage | files | desktop | unit | prefix | deb
# Environment: BUILD_DIR, SOURCE_DIR, STAGE (the DESTDIR of `stage`), WORK (scratch folder),
# EXTENSION (file name of the SQLite extension, empty when the build has none).
set -euo pipefail
mkdir -p "$WORK"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The expected "PACKAGE PATH" lines, the extension included when it is built.
expected_files() {
    grep -v '^#' "$SOURCE_DIR/tests/packaging/installed-files.txt"
    if [ -n "${EXTENSION:-}" ]; then echo "server /usr/lib/orvanta/$EXTENSION"; fi
}

# Differences between two sorted lists, or nothing.
compare_lists() {
    local what="$1" expected="$2" actual="$3"
    if ! diff -u "$expected" "$actual" >"$WORK/$what.diff"; then
        cat "$WORK/$what.diff" >&2
        fail "$what differs from the expected list ('-' missing, '+' unexpected)"
    fi
}

# The one place the unit names the program it runs.
unit_program() {
    sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$1"
}

case "$1" in
stage)
    rm -rf "$STAGE"
    DESTDIR="$STAGE" cmake --install "$BUILD_DIR" --prefix /usr >"$WORK/install.log"
    ;;

files)
    expected_files | awk '{print $2}' | sort >"$WORK/files.expected"
    (cd "$STAGE" && find . \( -type f -o -type l \) | sed 's/^\.//' | sort) >"$WORK/files.actual"
    compare_lists "installed files" "$WORK/files.expected" "$WORK/files.actual"
    for program in usr/bin/orvanta usr/bin/rdbcli usr/sbin/rdbd; do
        [ -x "$STAGE/$program" ] || fail "$program is not executable"
    done
    # The unit must run the rdbd that was installed, under /usr, not the build's own prefix.
    program="$(unit_program "$STAGE/lib/systemd/system/rdbd.service")"
    [ "$program" = /usr/sbin/rdbd ] || fail "the unit runs '$program', not /usr/sbin/rdbd"
    # Each manual page is the real program's help, for this version.
    for page in man1/orvanta.1 man1/rdbcli.1 man8/rdbd.8; do
        text="$(zcat "$STAGE/usr/share/man/$page.gz")"
        name="$(basename "$page" | cut -d. -f1)"
        grep -q "^\.TH ${name^^} \"${page:3:1}\" .*\"$name $VERSION\"" <<<"$text" \
            || fail "$page has no title line for $name $VERSION"
        sed 's/\\-/-/g' <<<"$text" | grep -q -- '--version' || fail "$page does not come from $name --help"
        warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$STAGE/usr/share/man/$page.gz" 2>&1 >/dev/null)"
        [ -z "$warnings" ] || fail "$page: $warnings"
    done
    ;;

desktop)
    entry="$STAGE/usr/share/applications/orvanta.desktop"
    desktop-file-validate "$entry"
    # The metadata, and the desktop entry it names, as a software centre reads them.
    appstreamcli validate-tree --no-net "$STAGE/usr"
    # The entry must start the installed program with the installed icons.
    exec_name="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")"
    case "$exec_name" in
    /*) exec_path="$STAGE$exec_name" ;;
    *) exec_path="$STAGE/usr/bin/$exec_name" ;;
    esac
    [ -x "$exec_path" ] || fail "Exec=$exec_name is not an installed program"
    icon="$(sed -n 's/^Icon=//p' "$entry")"
    for size in 48 256; do
        png="$STAGE/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png"
        [ -f "$png" ] || fail "no ${size} px icon $icon"
        file "$png" | grep -q "PNG image data, $size x $size," || fail "$png is not $size x $size: $(file -b "$png")"
    done
    svg="$STAGE/usr/share/icons/hicolor/scalable/apps/$icon.svg"
    file "$svg" | grep -q 'SVG Scalable Vector Graphics image' || fail "$svg is not SVG: $(file -b "$svg")"
    ;;

unit)
    unit="$STAGE/lib/systemd/system/rdbd.service"
    # verify needs the program where the unit says; point it at the staged one.
    mkdir -p "$WORK/unit"
    sed "s|^ExecStart=/usr/sbin/rdbd|ExecStart=$STAGE/usr/sbin/rdbd|" "$unit" >"$WORK/unit/rdbd.service"
    # verify exits 0 on unknown keys and bad values: any message is a failure.
    messages="$(MANPATH="$STAGE/usr/share/man" systemd-analyze verify "$WORK/unit/rdbd.service" 2>&1)" \
        || fail "systemd-analyze verify: $messages"
    [ -z "$messages" ] || fail "systemd-analyze verify: $messages"
    # Confinement: systemd's own exposure score, 0 (locked down) to 10, at most 2.
    systemd-analyze security --offline=yes --threshold=20 "$WORK/unit/rdbd.service" >"$WORK/unit/security.txt" 2>&1 \
        || { cat "$WORK/unit/security.txt" >&2; fail "the unit's exposure is above 2.0"; }
    for line in 'Restart=on-failure' 'ProtectSystem=strict' 'ReadWritePaths=/var/lib/orvanta' 'NoNewPrivileges=yes'; do
        grep -qx "$line" "$unit" || fail "the unit lacks $line"
    done
    user="$(sed -n 's/^User=//p' "$unit")"
    [ -n "$user" ] && [ "$user" != root ] || fail "the unit runs as '${user:-root}'"
    grep -q -- '--db /var/lib/orvanta/' "$unit" || fail "the unit's database is not under /var/lib/orvanta"
    ;;

prefix)
    # Installed under a prefix the desktop's data folders do not name: the first start still
    # copies the alert sound from beside the program into the new per-user folder.
    prefix="$WORK/opt/orvanta"
    home="$WORK/home"
    rm -rf "$prefix" "$home"
    mkdir -p "$home" "$WORK/no-data"
    cmake --install "$BUILD_DIR" --prefix "$prefix" >"$WORK/install.log"
    [ -f "$prefix/share/orvanta/notify.wav" ] || fail "no alert sound under $prefix/share/orvanta"
    copied="$home/.local/share/orvanta/notify.wav"
    # It waits for the server address once the folder is made; it is stopped then.
    (cd "$home" && exec env -u XDG_DATA_HOME HOME="$home" XDG_DATA_DIRS="$WORK/no-data" QT_QPA_PLATFORM=offscreen \
        "$prefix/bin/orvanta" >"$WORK/orvanta.log" 2>&1) &
    pid=$!
    for _ in $(seq 200); do
        [ -f "$home/.local/share/orvanta/Env/Orvanta.INI" ] && [ -f "$copied" ] && break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ -f "$home/.local/share/orvanta/Env/Orvanta.INI" ] || fail "no per-user folder made: $(cat "$WORK/orvanta.log")"
    cmp "$prefix/share/orvanta/notify.wav" "$copied" || fail "the alert sound was not copied into the per-user folder"
    ;;

deb)
    rm -rf "$WORK/deb"
    mkdir -p "$WORK/deb"
    (cd "$WORK/deb" && cpack -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$WORK/deb" >cpack.log 2>&1) \
        || { cat "$WORK/deb/cpack.log" >&2; fail "cpack failed"; }
    arch="$(dpkg --print-architecture)"
    desk="$WORK/deb/orvanta_${VERSION}_${arch}.deb"
    server="$WORK/deb/orvanta-server_${VERSION}_${arch}.deb"
    [ -f "$desk" ] && [ -f "$server" ] || fail "packages missing: $(ls "$WORK/deb")"
    # Each package carries its share of the installed files, nothing more.
    for pair in "desk:$desk" "server:$server"; do
        component="${pair%%:*}"
        deb="${pair#*:}"
        expected_files | awk -v c="$component" '$1 == c {print $2}' | sort >"$WORK/$component.expected"
        dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's/^\.//' | sort >"$WORK/$component.actual"
        compare_lists "files of the $component package" "$WORK/$component.expected" "$WORK/$component.actual"
    done
    # Library dependencies are computed, not written by hand.
    dpkg-deb -f "$desk" Depends | grep -q 'libqt6widgets6' || fail "orvanta does not depend on Qt: $(dpkg-deb -f "$desk" Depends)"
    dpkg-deb -f "$server" Depends | grep -q 'libsqlite3-0' || fail "orvanta-server does not depend on SQLite: $(dpkg-deb -f "$server" Depends)"
    lintian --tag-display-limit 0 --fail-on error "$desk" "$server" >"$WORK/deb/lintian.txt" 2>&1 \
        || { cat "$WORK/deb/lintian.txt" >&2; fail "lintian reports errors"; }
    if grep -q '^E: ' "$WORK/deb/lintian.txt"; then
        cat "$WORK/deb/lintian.txt" >&2
        fail "lintian reports errors"
    fi
    cat "$WORK/deb/lintian.txt"
    ;;

*)
    fail "unknown check '$1'"
    ;;
esac
