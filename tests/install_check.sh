#!/usr/bin/env bash
# Installs the built program into a scratch prefix and checks what a desktop, man, bash and systemd
# will read there, then builds the Debian package and checks its contents and lintian's verdict. Touches nothing outside a temporary
# folder: the package is unpacked, never installed on this system.
# Usage: install_check.sh BUILD_DIR SOURCE_DIR APP_ID
set -uo pipefail

build=$1
source=$2
app_id=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Where systemd looks for user units below an installed prefix: lib/ below /usr and /usr/local,
# share/ below any other (~/.local, a scratch prefix).
unit_dir_of() {
    case "$1" in
    /usr | /usr/local) echo lib/systemd/user ;;
    *) echo share/systemd/user ;;
    esac
}

# Every installed file the program or the desktop relies on, relative to the prefix PREFIX.
expected_files() {
    local units
    units=$(unit_dir_of "$1")
    cat <<EOF
bin/euribor
share/quotazioni-euribor/Euribor_PORTALEDATI.txt
share/quotazioni-euribor/EURIBOR.MDB
share/quotazioni-euribor/schema.sql
share/applications/$app_id.desktop
share/icons/hicolor/scalable/apps/quotazioni-euribor.svg
share/metainfo/$app_id.metainfo.xml
share/man/man1/euribor.1.gz
share/bash-completion/completions/euribor
share/doc/quotazioni-euribor/copyright
share/doc/quotazioni-euribor/changelog.gz
$units/quotazioni-euribor-aggiorna.service
$units/quotazioni-euribor-aggiorna.timer
EOF
}

# The value of KEY=value in a desktop or unit file (first occurrence).
key_of() {
    sed -n "s/^$2=//p" "$1" | head -n 1
}

# Checks the files under PREFIX, found at INSTALLED_PREFIX once installed (they differ for an
# unpacked package), and runs the validators on them.
check_tree() {
    local root=$1 prefix=$2 label=$3 out

    while read -r f; do
        [ -f "$root/$f" ] || fail "$label: $f not installed"
    done < <(expected_files "$prefix")
    [ -x "$root/bin/euribor" ] || fail "$label: bin/euribor is not executable"
    file -b "$root/bin/euribor" | grep -q '^ELF' || fail "$label: bin/euribor is not an ELF executable"

    cmp -s "$source/data/Euribor_PORTALEDATI.txt" "$root/share/quotazioni-euribor/Euribor_PORTALEDATI.txt" ||
        fail "$label: the tenor list differs from data/Euribor_PORTALEDATI.txt"
    cmp -s "$source/data/schema.sql" "$root/share/quotazioni-euribor/schema.sql" ||
        fail "$label: schema.sql differs from data/schema.sql"

    # The seed database: the history table and its indexes, and not one recorded rate.
    local db_report
    db_report=$(/usr/bin/python3 - "$root/share/quotazioni-euribor/EURIBOR.MDB" <<'EOF'
import sqlite3, sys
db = sqlite3.connect("file:" + sys.argv[1] + "?mode=ro", uri=True)
columns = [row[1] for row in db.execute("PRAGMA table_info(Storico_Euribor)")]
indexes = sorted(row[1] for row in db.execute("PRAGMA index_list(Storico_Euribor)"))
rows = db.execute("SELECT COUNT(*) FROM Storico_Euribor").fetchone()[0]
print(",".join(columns), ",".join(indexes), rows)
EOF
    ) || fail "$label: EURIBOR.MDB is not a readable SQLite database"
    [ "$db_report" = "Tipo_Valuta,Data_Valuta,Quotazione,Descrizione,Note Storico_Euribor_Data,Storico_Euribor_Quotazione_Non_Numero,Storico_Euribor_Tipo_Data 0" ] ||
        fail "$label: EURIBOR.MDB is not the empty history database: $db_report"

    local desktop=$root/share/applications/$app_id.desktop
    if [ -f "$desktop" ]; then
        echo "== desktop-file-validate ($label)"
        # Hints and warnings leave its exit status 0: any output at all counts.
        out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "$label: desktop-file-validate: $out"
        [ "$(key_of "$desktop" Exec)" = "$prefix/bin/euribor" ] || fail "$label: Exec is not $prefix/bin/euribor"
        [ "$(key_of "$desktop" Name)" = "Quotazioni Euribor" ] || fail "$label: Name is not Quotazioni Euribor"
        [ "$(key_of "$desktop" Categories)" = "Office;Finance;" ] || fail "$label: Categories are not Office;Finance;"
        local icon
        icon=$(key_of "$desktop" Icon)
        [ -f "$root/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
            fail "$label: no scalable icon named after Icon=$icon"
    fi

    local icon_file=$root/share/icons/hicolor/scalable/apps/quotazioni-euribor.svg
    if [ -f "$icon_file" ]; then
        /usr/bin/python3 -c 'import sys, xml.etree.ElementTree as t; r = t.parse(sys.argv[1]).getroot(); sys.exit(r.tag != "{http://www.w3.org/2000/svg}svg")' \
            "$icon_file" || fail "$label: the icon is not a well-formed SVG document"
    fi

    local metainfo=$root/share/metainfo/$app_id.metainfo.xml
    if [ -f "$metainfo" ]; then
        echo "== appstreamcli validate --pedantic --no-net ($label)"
        appstreamcli validate --pedantic --no-net "$metainfo" || fail "$label: appstreamcli validate"
        grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
            fail "$label: the metainfo does not launch $app_id.desktop"
    fi

    # The manual renders without a warning and, with the completion, names every option of --help;
    # the completion offers what the manual documents.
    local man=$root/share/man/man1/euribor.1.gz completion=$root/share/bash-completion/completions/euribor
    if [ -f "$man" ] && [ -f "$completion" ]; then
        echo "== man --warnings ($label)"
        out=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$man" 2>&1 >"$scratch/man.txt") && [ -z "$out" ] ||
            fail "$label: man --warnings: $out"
        local help_opts man_opts completion_opts
        help_opts=$("$root/bin/euribor" --help | grep -oE -- '--[a-z-]+' | sort -u)
        man_opts=$(sed -n '/^OPZIONI/,/^[^ ]/p' "$scratch/man.txt" | grep -oE '^ {7}(-[a-z], )?--[a-z-]+' |
            grep -oE -- '--[a-z-]+' | sort -u)
        completion_opts=$(grep -oE -- '--[a-z-]+' "$completion" | sort -u)
        [ -z "$(comm -23 <(echo "$help_opts") <(echo "$man_opts"))" ] && [ "$man_opts" = "$completion_opts" ] ||
            fail "$label: options of --help, the manual and the completion differ:" $help_opts / $man_opts / $completion_opts
        [ "$(bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" && COMP_LINE="euribor --aggio" &&
            COMP_POINT=${#COMP_LINE} COMP_WORDS=($COMP_LINE) COMP_CWORD=1 && _euribor && echo "${COMPREPLY[*]}"' _ "$completion")" = --aggiorna ] ||
            fail "$label: the completion does not complete --aggio"
    fi

    local service timer
    service=$root/$(unit_dir_of "$prefix")/quotazioni-euribor-aggiorna.service
    timer=$root/$(unit_dir_of "$prefix")/quotazioni-euribor-aggiorna.timer
    if [ -f "$service" ]; then
        [ "$(key_of "$service" ExecStart)" = "$prefix/bin/euribor --aggiorna" ] ||
            fail "$label: ExecStart is '$(key_of "$service" ExecStart)', not '$prefix/bin/euribor --aggiorna'"
        [ "$(key_of "$service" Type)" = oneshot ] || fail "$label: the service is not Type=oneshot"
        [ "$(key_of "$service" Restart)" = on-failure ] && [ "$(key_of "$service" RestartPreventExitStatus)" = "3" ] ||
            fail "$label: a run that recorded nothing is not tried again, or a partial one is"
        grep -Eq '^Environment=.*\bL(ANG|C_[A-Z]+)=' "$service" && fail "$label: the service sets a locale"
    fi
    if [ -f "$timer" ]; then
        [ "$(key_of "$timer" OnCalendar)" = "Mon..Fri 11:15 Europe/Rome" ] || fail "$label: OnCalendar"
        [ "$(key_of "$timer" Persistent)" = true ] || fail "$label: the timer is not Persistent"
        [ "$(key_of "$timer" WantedBy)" = timers.target ] || fail "$label: the timer is not wanted by timers.target"
    fi
}

# systemd-analyze verify --user needs a user runtime folder, not a running systemd: a private one
# is enough. A probe unit tells whether it can run here at all.
verify_units() {
    local unit_dir=$1
    if ! command -v systemd-analyze >/dev/null; then
        echo "SKIP: systemd-analyze is not installed; the units are not verified"
        return
    fi
    local runtime=$scratch/runtime
    mkdir -p -m 700 "$runtime"
    mkdir -p "$scratch/probe"
    printf '[Service]\nType=oneshot\nExecStart=/bin/true\n' >"$scratch/probe/probe.service"
    if ! XDG_RUNTIME_DIR=$runtime systemd-analyze verify --user "$scratch/probe/probe.service" \
        >"$scratch/probe.log" 2>&1; then
        echo "SKIP: systemd-analyze verify cannot run here; the units are not verified:"
        cat "$scratch/probe.log"
        return
    fi
    echo "== systemd-analyze verify --user"
    local output
    # Parse problems are only warnings to systemd-analyze: any output at all counts as a failure.
    output=$(XDG_RUNTIME_DIR=$runtime systemd-analyze verify --user \
        "$unit_dir/quotazioni-euribor-aggiorna.service" "$unit_dir/quotazioni-euribor-aggiorna.timer" 2>&1) ||
        fail "systemd-analyze verify exited with an error"
    if [ -n "$output" ]; then
        echo "$output"
        fail "systemd-analyze verify reported problems"
    else
        echo "(no problems reported)"
    fi
}

# 1. cmake --install into a scratch prefix.
prefix=$scratch/prefix
echo "== cmake --install --prefix $prefix"
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 || {
    cat "$scratch/install.log"
    fail "cmake --install"
}
check_tree "$prefix" "$prefix" "cmake --install"
verify_units "$prefix/$(unit_dir_of "$prefix")"

# 2. The Debian package, built from the same install rules into the scratch folder.
echo "== cpack -G DEB"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 || {
    cat "$scratch/cpack.log"
    fail "cpack -G DEB"
}
debs=("$scratch"/package/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made ${#debs[@]} packages, expected one"
else
    deb=${debs[0]}
    echo "== $(basename "$deb")"
    [ "$(dpkg-deb -f "$deb" Package)" = quotazioni-euribor ] || fail "the package is not named quotazioni-euribor"
    dpkg-deb -I "$deb" >"$scratch/info.txt" || fail "dpkg-deb -I"
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    # The libraries come from dpkg-shlibdeps, Qt's Italian texts from the explicit list.
    for dep in libc6 libqt6core6 libqt6widgets6 libsqlite3-0 qt6-translations-l10n; do
        grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "the package does not depend on $dep"
    done
    [ "$(dpkg-deb -f "$deb" Recommends)" = "fonts-liberation2" ] ||
        fail "the package does not recommend the window's font and the icon's SVG plugins"
    echo "== lintian --pedantic"
    lintian --pedantic --fail-on error,warning "$deb" || fail "lintian: errors or warnings"
    for field in Maintainer Section Description; do
        [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the package has no $field"
    done

    dpkg-deb -c "$deb" >"$scratch/contents.txt" || fail "dpkg-deb -c"
    while read -r f; do
        grep -q " \./usr/$f\$" "$scratch/contents.txt" || fail "the package lacks /usr/$f"
    done < <(expected_files /usr)
    echo "$(grep -c '^-' "$scratch/contents.txt") files in the package"
    # Nothing but the program's own files; dpkg refuses packages whose files clash with the system.
    grep -v -E ' \./($|usr/($|bin/|lib/($|systemd/($|user/))|share/($|applications/|icons/|metainfo/|quotazioni-euribor/|man/|bash-completion/|doc/|lintian/)))' \
        "$scratch/contents.txt" && fail "the package holds files outside the program's places"

    # Unpacked, not installed: the files as they land under /usr.
    dpkg-deb -x "$deb" "$scratch/root" || fail "dpkg-deb -x"
    check_tree "$scratch/root/usr" /usr "package"

    # Installed and removed by dpkg in a scratch root with a database of its own (the dependencies
    # are this system's, not the scratch root's): removal must leave no file behind.
    sroot=$scratch/dpkg-root
    mkdir -p "$sroot"/var/lib/dpkg/{info,updates,triggers}
    touch "$sroot"/var/lib/dpkg/{status,available}
    dpkg --root="$sroot" --force-depends --force-script-chrootless -i "$deb" >"$scratch/dpkg.log" 2>&1 ||
        { cat "$scratch/dpkg.log"; fail "dpkg -i into a scratch root"; }
    [ -x "$sroot/usr/bin/euribor" ] || fail "dpkg -i did not lay /usr/bin/euribor"
    dpkg --root="$sroot" -r quotazioni-euribor >"$scratch/dpkg.log" 2>&1 ||
        { cat "$scratch/dpkg.log"; fail "dpkg -r in the scratch root"; }
    left=$(find "$sroot" -path "$sroot/var" -prune -o -mindepth 1 -print)
    [ -z "$left" ] || fail "dpkg -r left behind: $left"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all installation checks passed"
