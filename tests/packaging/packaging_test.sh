#!/usr/bin/env bash
# The installed tree and the Debian packages, checked with the tools a distribution uses.
#   packaging_test.sh stage | files | desktop | prefix | deb
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

# upgrade_from_1_0 SERVER_DEB: dpkg installs a stand-in for orvanta-server 1.0 (its files
# that later versions no longer carry, its removal scripts) into a throwaway root, then
# SERVER_DEB over it, with a systemctl that records its calls. The gateway's service must be
# stopped and disabled, its files gone, the data under /var/lib/orvanta untouched.
upgrade_from_1_0() {
    local new="$1" root="$WORK/upgrade/root" old="$WORK/upgrade/old" bin="$WORK/upgrade/bin"
    local calls="$WORK/upgrade/systemctl.log"
    rm -rf "$WORK/upgrade"
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/run/systemd/system" \
        "$old/DEBIAN" "$old/usr/sbin" "$old/lib/systemd/system" "$bin"
    touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
    printf 'Package: orvanta-server\nVersion: 1.0\nArchitecture: %s\nMaintainer: Orvanta <packages@orvanta.com>\nDescription: 1.0\n 1.0\n' \
        "$(dpkg --print-architecture)" >"$old/DEBIAN/control"
    install -m 0755 "$SOURCE_DIR/tests/packaging/from-1.0/prerm" "$SOURCE_DIR/tests/packaging/from-1.0/postrm" "$old/DEBIAN/"
    printf '#!/bin/sh\n' >"$old/usr/sbin/rdbd"
    chmod 0755 "$old/usr/sbin/rdbd"
    printf '[Service]\nExecStart=/usr/sbin/rdbd\n' >"$old/lib/systemd/system/rdbd.service"
    dpkg-deb --root-owner-group -b "$old" "$WORK/upgrade/old.deb" >/dev/null
    for tool in systemctl deb-systemd-invoke; do
        printf '#!/bin/sh\necho "$*" >>"%s"\n' "$calls" >"$bin/$tool"
        chmod 0755 "$bin/$tool"
    done
    # Chrootless: the scripts run here with DPKG_ROOT set and the recording tools first.
    dpkg_root() {
        PATH="$bin:$PATH" dpkg --root="$root" --force-script-chrootless --force-not-root --force-depends "$@" \
            >>"$WORK/upgrade/dpkg.log" 2>&1 || { cat "$WORK/upgrade/dpkg.log" >&2; fail "dpkg $*"; }
    }
    dpkg_root -i "$WORK/upgrade/old.deb"
    mkdir -p "$root/var/lib/orvanta"
    echo 'calls of the desks' >"$root/var/lib/orvanta/orvanta.db"
    : >"$calls"
    dpkg_root -i "$new"
    for call in 'stop rdbd.service' 'disable rdbd.service' 'daemon-reload'; do
        grep -qx -- "--system $call" "$calls" || fail "the upgrade from 1.0 did not run systemctl $call: $(cat "$calls")"
    done
    for gone in usr/sbin/rdbd lib/systemd/system/rdbd.service; do
        [ ! -e "$root/$gone" ] || fail "the upgrade from 1.0 left /$gone"
    done
    [ "$(cat "$root/var/lib/orvanta/orvanta.db" 2>/dev/null)" = 'calls of the desks' ] \
        || fail "the upgrade from 1.0 lost /var/lib/orvanta/orvanta.db"
    # Installed again over itself, nothing is stopped or disabled.
    : >"$calls"
    dpkg_root -i "$new"
    [ ! -s "$calls" ] || fail "reinstalling ran systemctl: $(cat "$calls")"
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
    for program in $(expected_files | awk '$2 ~ "/s?bin/" {print $2}'); do
        [ -x "$STAGE$program" ] || fail "$program is not executable"
    done
    # Each manual page is the real program's help, for this version.
    for page in $(expected_files | sed -n 's|^[a-z]* /usr/share/man/\(man[0-9]/.*\)\.gz$|\1|p'); do
        text="$(zcat "$STAGE/usr/share/man/$page.gz")"
        name="$(basename "$page" | cut -d. -f1)"
        grep -q "^\.TH ${name^^} \"${page:3:1}\" .*\"$name $VERSION\"" <<<"$text" \
            || fail "$page has no title line for $name $VERSION"
        # No pipe into grep -q: under pipefail a writer still writing when grep has its match
        # dies of SIGPIPE and fails the check.
        grep -q -- '--version' <<<"${text//\\-/-}" || fail "$page does not come from $name --help"
        warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$STAGE/usr/share/man/$page.gz" 2>&1 >/dev/null)"
        [ -z "$warnings" ] || fail "$page: $warnings"
        # Each option on a line of its own: a short one would otherwise run into the start
        # of its description ("-Q SQL the statement").
        rendered="$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$STAGE/usr/share/man/$page.gz" 2>/dev/null)"
        while IFS= read -r tag; do
            grep -qxF "       $tag" <<<"$rendered" || fail "$page: the option '$tag' runs into its description"
        done < <(awk 'previous == ".TP" {print} {previous = $0}' <<<"$text" | sed 's/^\.[A-Z]* //; s/\\f[BIRP]//g; s/\\[,/]//g; s/\\-/-/g')
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
    # Removal must leave the data and the account: no script of the package names them.
    dpkg-deb -e "$server" "$WORK/deb/control"
    if grep -lE 'orvanta|deluser|userdel' "$WORK/deb/control/prerm" "$WORK/deb/control/postrm" 2>/dev/null; then
        fail "a removal script of the server package touches the data or the account"
    fi
    upgrade_from_1_0 "$server"
    # Library dependencies are computed, not written by hand.
    dpkg-deb -f "$desk" Depends | grep -q 'libqt6widgets6' || fail "orvanta does not depend on Qt: $(dpkg-deb -f "$desk" Depends)"
    dpkg-deb -f "$server" Depends | grep -q 'libsqlite3-0' || fail "orvanta-server does not depend on SQLite: $(dpkg-deb -f "$server" Depends)"
    # What orvanta-setup runs: the cluster tools, psql, the pooler and openssl.
    for package in postgresql postgresql-common postgresql-client pgbouncer openssl; do
        dpkg-deb -f "$server" Depends | tr ',' '\n' | grep -qx " *$package" ||
            fail "orvanta-server does not depend on $package: $(dpkg-deb -f "$server" Depends)"
    done
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
