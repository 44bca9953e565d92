#!/usr/bin/env bash
# Installs into a scratch prefix and checks what a desktop, man, bash and systemd read there, then the
# Debian package: contents, lintian, a dpkg install and removal in a scratch root. Usage: BUILD SOURCE APP_ID
set -uo pipefail
build=$1 source=$2 app_id=$3
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" || fail "$what"; }
# The command must also print nothing: validators that only warn.
quiet() { local what=$1 out; shift; out=$("$@" 2>&1) && [ -z "$out" ] || fail "$what: $out"; }
key_is() { local v; v=$(sed -n "s/^$2=//p" "$1" | head -n 1); [ "$v" = "$3" ] || fail "$1: $2 is '$v', not '$3'"; }
# Where systemd looks for user units: lib/ below /usr and /usr/local, share/ below any other prefix.
unit_dir_of() { case "$1" in /usr | /usr/local) echo lib/systemd/user ;; *) echo share/systemd/user ;; esac; }
expected_files() {
    local units; units=$(unit_dir_of "$1")
    printf '%s\n' bin/euribor lib/$multiarch/quotazioni-euribor/euribor-finestra.so \
        share/quotazioni-euribor/{Euribor_PORTALEDATI.txt,EURIBOR.MDB,schema.sql} \
        share/applications/$app_id.desktop share/icons/hicolor/scalable/apps/quotazioni-euribor.svg \
        share/metainfo/$app_id.metainfo.xml share/man/man1/euribor.1.gz share/bash-completion/completions/euribor \
        share/doc/quotazioni-euribor/{copyright,changelog.gz} $units/quotazioni-euribor-aggiorna.{service,timer}
}

# The files under ROOT, found at PREFIX once installed (they differ for an unpacked package).
check_tree() {
    local root=$1 prefix=$2 label=$3 f
    while read -r f; do [ -f "$root/$f" ] || fail "$label: $f not installed"; done < <(expected_files "$prefix")
    local exe=$root/bin/euribor data=$root/share/quotazioni-euribor units=$root/$(unit_dir_of "$prefix")
    [ -x "$exe" ] && file -b "$exe" | grep -q '^ELF' || fail "$label: bin/euribor is no ELF executable"
    # The program finds its window's module where it is installed (then Qt stops: there is no display).
    QT_QPA_PLATFORM=xcb DISPLAY= "$exe" 2>&1 | grep -q "impossibile caricare la finestra" &&
        fail "$label: the program does not find its window's module"
    for f in Euribor_PORTALEDATI.txt schema.sql; do check "$label: $f differs" cmp -s "$source/data/$f" "$data/$f"; done
    # The seed database: the history table and its indexes, and not one recorded rate.
    local db
    db=$(/usr/bin/python3 -c 'import sqlite3, sys
d = sqlite3.connect("file:" + sys.argv[1] + "?mode=ro", uri=True)
print(",".join(r[1] for r in d.execute("PRAGMA table_info(Storico_Euribor)")),
      ",".join(sorted(r[1] for r in d.execute("PRAGMA index_list(Storico_Euribor)"))),
      d.execute("SELECT COUNT(*) FROM Storico_Euribor").fetchone()[0])' "$data/EURIBOR.MDB")
    [ "$db" = "Tipo_Valuta,Data_Valuta,Quotazione,Descrizione,Note Storico_Euribor_Data,Storico_Euribor_Quotazione_Non_Numero,Storico_Euribor_Tipo_Data 0" ] ||
        fail "$label: EURIBOR.MDB is not the empty history database: $db"

    local desktop=$root/share/applications/$app_id.desktop
    local icon=$root/share/icons/hicolor/scalable/apps/quotazioni-euribor.svg
    quiet "$label: desktop-file-validate" desktop-file-validate "$desktop"
    key_is "$desktop" Exec "$prefix/bin/euribor"
    key_is "$desktop" Icon quotazioni-euribor
    check "$label: the icon is no SVG document" /usr/bin/python3 -c 'import sys, xml.etree.ElementTree as t
sys.exit(t.parse(sys.argv[1]).getroot().tag != "{http://www.w3.org/2000/svg}svg")' "$icon"
    local metainfo=$root/share/metainfo/$app_id.metainfo.xml
    check "$label: appstreamcli validate" appstreamcli validate --pedantic --no-net "$metainfo"
    check "$label: the metainfo does not launch $app_id.desktop" \
        grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo"

    # The manual and the completion name every option of --help.
    local completion=$root/share/bash-completion/completions/euribor help_opts man_opts completion_opts
    quiet "$label: man --warnings" sh -c 'MANWIDTH=80 man --warnings -E UTF-8 -l "$1" >"$2"' _ \
        "$root/share/man/man1/euribor.1.gz" "$scratch/man.txt"
    help_opts=$("$exe" --help | grep -oE -- '--[a-z-]+' | sort -u)
    man_opts=$(sed -n '/^OPZIONI/,/^[^ ]/p' "$scratch/man.txt" | grep -oE '^ {7}(-[a-z], )?--[a-z-]+' |
        grep -oE -- '--[a-z-]+' | sort -u)
    completion_opts=$(grep -oE -- '--[a-z-]+' "$completion" | sort -u)
    [ -z "$(comm -23 <(echo "$help_opts") <(echo "$man_opts"))" ] && [ "$man_opts" = "$completion_opts" ] ||
        fail "$label: options of --help, the manual and the completion differ:" $help_opts / $man_opts / $completion_opts
    [ "$(bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" && COMP_LINE="euribor --aggio" &&
        COMP_POINT=${#COMP_LINE} COMP_WORDS=($COMP_LINE) COMP_CWORD=1 && _euribor && echo "${COMPREPLY[*]}"' _ "$completion")" = --aggiorna ] ||
        fail "$label: the completion does not complete --aggio"

    # A run that recorded nothing is tried again, a partial one (exit 3) is not; the locale is the user's.
    local service=$units/quotazioni-euribor-aggiorna.service timer=$units/quotazioni-euribor-aggiorna.timer
    key_is "$service" ExecStart "$prefix/bin/euribor --aggiorna"
    key_is "$service" Restart on-failure
    key_is "$service" RestartPreventExitStatus 3
    grep -Eq '^Environment=.*\bL(ANG|C_[A-Z]+)=' "$service" && fail "$label: the service sets a locale"
    key_is "$timer" OnCalendar "Mon..Fri 11:15 Europe/Rome"
    key_is "$timer" Persistent true
}

# 1. cmake --install; systemd-analyze verify needs a user runtime folder, and a probe unit tells whether it runs here.
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log"; fail "cmake --install"; }
check_tree "$prefix" "$prefix" "cmake --install"
mkdir -p -m 700 "$scratch/runtime" && printf '[Service]\nType=oneshot\nExecStart=/bin/true\n' >"$scratch/probe.service"
if command -v systemd-analyze >/dev/null && XDG_RUNTIME_DIR=$scratch/runtime systemd-analyze verify --user "$scratch/probe.service" >/dev/null 2>&1; then
    quiet "systemd-analyze verify" env XDG_RUNTIME_DIR="$scratch/runtime" systemd-analyze verify --user \
        "$prefix/$(unit_dir_of "$prefix")"/quotazioni-euribor-aggiorna.{service,timer}
else
    echo "SKIP: systemd-analyze cannot verify units here"
fi

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; fail "cpack -G DEB"; }
debs=("$scratch"/package/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made ${#debs[@]} packages, expected one"
else
    deb=${debs[0]}
    field() { dpkg-deb -f "$deb" "$1"; }
    [ "$(field Package)" = quotazioni-euribor ] || fail "the package is not named quotazioni-euribor"
    for f in Maintainer Section Description; do [ -n "$(field $f)" ] || fail "the package has no $f"; done
    for dep in libc6 libqt6core6 libqt6widgets6 libsqlite3-0 qt6-translations-l10n; do
        grep -Eq "(^|, )$dep( |,|$)" <<<"$(field Depends)" || fail "the package does not depend on $dep"
    done
    [ "$(field Recommends)" = "fonts-liberation2" ] || fail "the package does not recommend the window's font"
    check "lintian: errors or warnings" lintian --pedantic --fail-on error,warning "$deb"
    dpkg-deb -c "$deb" >"$scratch/contents.txt" || fail "dpkg-deb -c"
    while read -r f; do grep -q " \./usr/$f\$" "$scratch/contents.txt" || fail "the package lacks /usr/$f"; done < <(expected_files /usr)
    # Nothing but the program's own files; dpkg refuses packages whose files clash with the system.
    grep -v -E ' \./($|usr/($|bin/|lib/($|systemd/($|user/)|[^/]+-linux-gnu/($|quotazioni-euribor/))|share/($|applications/|icons/|metainfo/|quotazioni-euribor/|man/|bash-completion/|doc/|lintian/)))' \
        "$scratch/contents.txt" && fail "the package holds files outside the program's places"
    dpkg-deb -x "$deb" "$scratch/root" || fail "dpkg-deb -x"
    check_tree "$scratch/root/usr" /usr "package"
    # dpkg in a scratch root with a database of its own: removal must leave no file behind.
    sroot=$scratch/dpkg-root
    mkdir -p "$sroot"/var/lib/dpkg/{info,updates,triggers} && touch "$sroot"/var/lib/dpkg/{status,available}
    check "dpkg -i into a scratch root" dpkg --root="$sroot" --force-depends --force-script-chrootless -i "$deb"
    [ -x "$sroot/usr/bin/euribor" ] || fail "dpkg -i did not lay /usr/bin/euribor"
    check "dpkg -r in the scratch root" dpkg --root="$sroot" -r quotazioni-euribor
    left=$(find "$sroot" -path "$sroot/var" -prune -o -mindepth 1 -print)
    [ -z "$left" ] || fail "dpkg -r left behind: $left"
fi
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all installation checks passed"
