#!/usr/bin/env bash
# Cross-builds a static brixfilter.exe for 64-bit Windows (build-win/) with MinGW-w64 and checks
# it under Wine: the filter, the exit statuses, the messages, bytes passed unchanged (CR LF,
# 0x1A), UTF-8 file names and in-place editing; then runs the unit tests that build for Windows
# through ctest under Wine. Installs the cross compiler, Wine and the GoogleTest sources if
# missing (Debian: mingw-w64, wine64, googletest).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=2

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v wine >/dev/null ||
  [ ! -f /usr/src/googletest/CMakeLists.txt ]; then
  sudo_=()
  [ "$(id -u)" -eq 0 ] || sudo_=(sudo)
  "${sudo_[@]}" apt-get install -y mingw-w64 wine64 googletest groff-base
fi

cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DBRIX_TESTS=ON
cmake --build build-win -j"$jobs"
quelle=$PWD
exe=$PWD/build-win/brixfilter.exe

# Wine: no window, no debug output, its own prefix. The server and the prefix are started
# once, detached from this script's pipes (otherwise every run waits for them); the server ends
# a minute after its last program.
export WINEDEBUG=-all DISPLAY= WINEPREFIX="${WINEPREFIX:-$PWD/build-win/wine}"
wineserver -p60 </dev/null >/dev/null 2>&1 &
setsid wine cmd /c exit </dev/null >/dev/null 2>&1

arbeit=$(mktemp -d)
trap 'rm -rf "$arbeit"' EXIT
cd "$arbeit"
fehler=0

# pruefe NAME STATUS STDOUT STDERR -- COMMAND...: runs COMMAND (stdin from $eingabe) and compares.
pruefe() {
  local name=$1 status=$2 aus=$3 err=$4
  shift 5
  local st=0
  printf '%b' "$eingabe" | "$@" >aus 2>err || st=$?
  if [ "$st" != "$status" ] || [ "$(od -An -c aus)" != "$(printf '%b' "$aus" | od -An -c)" ] ||
    [ "$(cat err)" != "$(printf '%b' "$err")" ]; then
    echo "FEHLER $name: Status $st (erwartet $status)"
    echo "  stdout: $(od -An -c aus | tr -s ' ')"
    echo "  stderr: $(cat err)"
    fehler=1
  else
    echo "ok $name"
  fi
}

eingabe='<a><!--x--></a>'
pruefe kommentar 0 '<a></a>\n' '' -- wine "$exe" -c
eingabe='<a>\r\n\x1a<b/></a>'
pruefe bytes_unveraendert 0 '<a>\r\n\x1a<b/></a>\n' '' -- wine "$exe" -c
st=0
wine "$exe" --gibtsnicht </dev/null >aus 2>err || st=$?
if [ "$st" = 255 ] && [ ! -s aus ] &&
  [ "$(head -n 1 err)" = 'brixfilter: unbekannte Option "--gibtsnicht"; Hilfe: brixfilter --help' ]; then
  echo "ok unbekannte_option"
else
  echo "FEHLER unbekannte_option: Status $st, $(head -n 1 err)"
  fehler=1
fi
eingabe=''
pruefe fehlende_datei 2 '' 'brixfilter: Datei "fehlt.xml" kann nicht geöffnet werden: Datei nicht gefunden\n' \
  -- wine "$exe" -f fehlt.xml
mkdir ordner
pruefe verzeichnis 2 '' 'brixfilter: Datei "ordner" kann nicht geöffnet werden: Ist ein Verzeichnis\n' \
  -- wine "$exe" -f ordner
printf '<a><!--x-->ü</a>\n' >'grüße.xml'
pruefe utf8_name 0 '<a>ü</a>\n' '' -- wine "$exe" -c -f 'grüße.xml'
pruefe an_ort_und_stelle 0 '' '' -- wine "$exe" -c -i -f 'grüße.xml'
if [ "$(cat 'grüße.xml')" != '<a>ü</a>' ] || [ -n "$(ls -A | grep brixfilter- || true)" ]; then
  echo "FEHLER an_ort_und_stelle: $(cat 'grüße.xml')"
  fehler=1
fi
if [ -w /dev/full ]; then
  st=0
  printf '<a/>' | wine "$exe" -c >/dev/full 2>err || st=$?
  if [ "$st" = 2 ] && grep -q 'Standardausgabe kann nicht geschrieben werden: Kein Platz auf dem Gerät' err; then
    echo "ok voll"
  else
    echo "FEHLER voll: Status $st, $(cat err)"
    fehler=1
  fi
fi
# A reader that goes away: status 2 and no message, as with EPIPE.
head -c 20000000 /dev/zero | tr '\0' a >gross.xml
set +e +o pipefail
wine "$exe" -f gross.xml 2>err | head -c 1 >/dev/null
st=${PIPESTATUS[0]}
set -e -o pipefail
if [ "$st" = 2 ] && [ ! -s err ]; then echo "ok leser_weg"; else echo "FEHLER leser_weg: Status $st, $(cat err)"; fehler=1; fi

cd "$quelle"
ctest --test-dir build-win -j"$jobs" --output-on-failure || fehler=1
exit $fehler
