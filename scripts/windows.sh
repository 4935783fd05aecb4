#!/usr/bin/env bash
# Cross-builds a static brixfilter.exe for 64-bit Windows (build-win/) with MinGW-w64 and tests
# it under Wine:
#  1. the unit tests that build for Windows and the ZIP package (ctest in build-win/);
#  2. every command-line test of the Linux build (ctest -L programm in build/, the folder
#     scripts/test.sh uses) against brixfilter.exe, started through Wine (BRIX_PROGRAMM,
#     BRIX_AUSFUEHRER), the end-to-end differential test against the reference model included;
#  3. what only Windows has: file attributes, a read-only file, a folder that takes no new
#     file, Ctrl-C during -i, a usage error with a console as input, the device NUL, UTF-8 file
#     names, CR LF and 0x1A passed unchanged, a reader that went away, a full disk, a document
#     larger than 4 GiB;
#  4. brixfilter.exe's output against the Linux build's on every document kind of the benchmark
#     generator, in every form (UTF-8, invalid UTF-8, UTF-16LE of even and odd length) and with
#     every option and a few chains (bench/vergleich.sh --exact).
# Installs what it needs if missing (Debian 12: the packages of scripts/abhaengigkeiten.sh, and
# mingw-w64, wine64, googletest, groff-base). Exit status 0 when everything passed.
#
#   bash scripts/windows.sh [--ohne-gross]     (--ohne-gross: leave out the 5 GiB document)
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine turns the arguments into UTF-16 by the locale's character set; without a locale (LANG
# unset, as in a bare environment) it takes them as ASCII and drops the high bit of UTF-8 bytes.
export LC_ALL=C.UTF-8
jobs=$(nproc)
gross=1
[ "${1:-}" = --ohne-gross ] && gross=0

bash scripts/abhaengigkeiten.sh
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v wine >/dev/null ||
  [ ! -f /usr/src/googletest/CMakeLists.txt ] || ! command -v groff >/dev/null; then
  sudo_=()
  [ "$(id -u)" -eq 0 ] || sudo_=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_[@]}" apt-get update -q
  "${sudo_[@]}" apt-get install -y -q mingw-w64 wine64 googletest groff-base
fi

# The Linux build whose command-line tests run against the .exe (the same folder and settings
# as scripts/test.sh, so that after it nothing is built again).
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  -DBRIX_TESTS=ON -DBRIX_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DBRIX_TESTS=ON -DBRIX_WERROR=ON >/dev/null
cmake --build build-win -j"$jobs"
quelle=$PWD
exe=$PWD/build-win/brixfilter.exe

# Wine: no window, no debug output, its own prefix. The prefix is made (or brought up to date)
# first and Wine left to settle: while a new prefix is finished, the server starts anew, and
# programs started meanwhile lose their connection ("wine client error ... Connection reset by
# peer"). Then the server is started once, detached from this script's pipes (otherwise every run
# waits for it), and ends two minutes after its last program.
export WINEDEBUG=-all DISPLAY= WINEPREFIX="${WINEPREFIX:-$PWD/build-win/wine}"
wineserver -k 2>/dev/null || true  # a server left running from before would keep -w waiting
setsid wine wineboot -u </dev/null >/dev/null 2>&1 || true
wineserver -w
wineserver -p120 </dev/null >/dev/null 2>&1 &
setsid wine cmd /c exit </dev/null >/dev/null 2>&1

fehler=0
echo "== Unit tests for Windows and the ZIP package"
ctest --test-dir build-win -j"$jobs" --output-on-failure || fehler=1

echo "== The command-line tests against brixfilter.exe"
# A test that fails is run once more: under load a run through Wine has now and then lost its
# connection to the server (status 1, "wine client error"), where the same run passed again; a
# fault of the program fails twice.
BRIX_PROGRAMM=$exe BRIX_AUSFUEHRER=wine ctest --test-dir build -L programm -j"$jobs" --output-on-failure \
  --repeat until-pass:2 || fehler=1

echo "== Windows only"
arbeit=$(mktemp -d)
trap 'rm -rf "$arbeit"' EXIT
cd "$arbeit"

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
# bedingung NAME COMMAND...: the command must succeed.
bedingung() {
  local name=$1
  shift
  if "$@"; then echo "ok $name"; else echo "FEHLER $name"; fehler=1; fi
}
# Whether Wine's attrib shows attribute $1 on file $2.
hat_attribut() { wine cmd /c attrib "$2" 2>/dev/null | tr -d '\r' | grep -q "^ *[A-Z ]*$1[A-Z ]* .*$2\$"; }

eingabe='<a>\r\n\x1a<b/></a>'
pruefe bytes_unveraendert 0 '<a>\r\n\x1a<b/></a>\n' '' -- wine "$exe" -c
eingabe=''
printf '<a><!--x-->ü</a>\n' >'grüße.xml'
pruefe utf8_name 0 '<a>ü</a>\n' '' -- wine "$exe" -c -f 'grüße.xml'
pruefe an_ort_und_stelle 0 '' '' -- wine "$exe" -c -i -f 'grüße.xml'
bedingung an_ort_und_stelle_inhalt [ "$(cat 'grüße.xml')" = '<a>ü</a>' ]
# The attributes of the file replaced go over to the new one.
printf '<a><!--x--></a>' >versteckt.xml
wine cmd /c attrib +h versteckt.xml >/dev/null 2>&1
bedingung attribut_gesetzt hat_attribut H versteckt.xml
pruefe attribut_behalten_lauf 0 '' '' -- wine "$exe" -c -i -f versteckt.xml
bedingung attribut_behalten hat_attribut H versteckt.xml
bedingung attribut_behalten_inhalt [ "$(cat versteckt.xml)" = '<a></a>' ]
# A read-only file is not replaced: the system refuses, the file stays.
printf '<a><!--x--></a>' >schreibgeschuetzt.xml
chmod 444 schreibgeschuetzt.xml
pruefe schreibgeschuetzt 2 '' 'brixfilter: Datei "schreibgeschuetzt.xml" kann nicht ersetzt werden: Keine Berechtigung\n' \
  -- wine "$exe" -c -i -f schreibgeschuetzt.xml
bedingung schreibgeschuetzt_inhalt [ "$(cat schreibgeschuetzt.xml)" = '<a><!--x--></a>' ]
bedingung nichts_liegengelassen [ -z "$(ls -A | grep brixfilter- || true)" ]
# Ctrl-C while the new file exists (Wine turns SIGINT into it; the fault shim holds the run in the
# new file's flush, before the move): the new file is removed, the old one stays, and the status
# is STATUS_CONTROL_C_EXIT (its low byte, 58).
printf '<a><!--x--></a>' >strg_c.xml
LD_PRELOAD=$quelle/build/tests/libbrix_stoerung.so BRIX_STOERUNG_FSYNC=haengt \
  env --default-signal=INT wine "$exe" -c -i -f strg_c.xml &
pid=$!
for _ in $(seq 600); do ls -A | grep '^\.brixfilter-' >/dev/null && break; sleep 0.1; done
kill -INT "$pid" || true
st=0
wait "$pid" || st=$?
bedingung strg_c [ "$st" = 58 ]
bedingung strg_c_inhalt [ "$(cat strg_c.xml)" = '<a><!--x--></a>' ]
bedingung strg_c_nichts_liegengelassen [ -z "$(ls -A | grep brixfilter- || true)" ]
# A usage error with a console as input comes at once, before anything is read: script gives the
# program a terminal, which Wine makes its console, and keeps it open for 30 s; the run may take
# 10 (timeout's status 124 means it waited for input).
st=$(script -qec "timeout 10 wine '$exe' -h >/dev/null 2>&1; echo st=\$?" /dev/null < <(sleep 30) |
  sed -n 's/.*st=\([0-9]*\).*/\1/p')
bedingung terminal_sofort [ "$st" = 255 ]
# A folder that takes no new file is named (root too is kept out by chattr +i, where it works).
mkdir fest
printf '<a><!--x--></a>' >fest/x.xml
if chattr +i fest 2>/dev/null || { [ "$(id -u)" != 0 ] && chmod 555 fest; }; then
  pruefe ordner_fest 2 '' 'brixfilter: Datei "fest/x.xml" kann nicht ersetzt werden: Im Ordner "fest" kann keine Datei angelegt werden: Keine Berechtigung\n' \
    -- wine "$exe" -c -i -f fest/x.xml
  chattr -i fest 2>/dev/null || chmod 755 fest
fi
# The device NUL reads as empty and cannot be replaced.
pruefe nul_lesen 0 '' '' -- wine "$exe" -c -f NUL
pruefe nul_ersetzen 2 '' 'brixfilter: Datei "NUL" kann nicht ersetzt werden: Keine reguläre Datei\n' \
  -- wine "$exe" -c -i -f NUL
if [ -w /dev/full ]; then
  st=0
  printf '<a/>' | wine "$exe" -c >/dev/full 2>err || st=$?
  gut=0
  [ "$st" = 2 ] && grep -q 'Standardausgabe kann nicht geschrieben werden: Kein Platz auf dem Gerät' err && gut=1
  bedingung voll [ "$gut" = 1 ]
fi
# A reader that goes away: status 2 and no message, as with EPIPE.
head -c 20000000 /dev/zero | tr '\0' a >gross.xml
set +e +o pipefail
wine "$exe" -f gross.xml 2>err | head -c 1 >/dev/null
st=${PIPESTATUS[0]}
set -e -o pipefail
gut=0
[ "$st" = 2 ] && [ ! -s err ] && gut=1
bedingung leser_weg [ "$gut" = 1 ]
rm -f gross.xml
# A document beyond 4 GiB (sparse, so it takes no disk): 64-bit sizes and offsets throughout.
if ((gross)); then
  truncate -s 5G riesig.xml
  printf '<book>x</book>tail\n' >>riesig.xml
  pruefe ueber_4_gib 0 'tail\n' '' -- wine "$exe" -S book -f riesig.xml
  rm -f riesig.xml
fi

echo "== The output of brixfilter.exe against the Linux build's, on every document kind"
cd "$quelle"
bash bench/vergleich.sh --alt build/brixfilter --neu "$exe" --neu-runner wine --exact \
  --sizes 20K --seeds 1 --big 0 --no-corpus --no-install --timeout 60 || fehler=1

exit $fehler
