#!/usr/bin/env bash
# Compares the output of two brixfilter binaries on every kind of generated document.
#
#   bash bench/vergleich.sh --alt PATH [--neu PATH] [options]
#   bash bench/vergleich.sh --alt-commit SHA [--neu PATH] [options]
#   bash bench/vergleich.sh --alt build/brixfilter --neu build-win/brixfilter.exe --neu-runner wine --exact
#   bash bench/vergleich.sh --alt OLD --stuecke --sizes 20K --big 0
#
# Generates every document kind of bench/generator.cpp (the catalog kinds and the hostile h-...
# kinds) at a few sizes and seeds, each also with invalid UTF-8 bytes sprinkled in and as
# UTF-16LE (of even and odd length, also with lone surrogates), and every file of the fuzz seed
# corpus (tests/fuzz/corpus/) as a document of its own, runs both binaries with every
# option and a few chains, and compares standard output (cmp) and exit status. Where the outputs
# differ, bench/abgleich.cpp decides whether they differ by the two deliberate changes of the byte
# engine alone (a 4-byte character kept whole where the old code stepped into its middle, the odd
# last byte of a UTF-16 file kept): such a run is a mend, listed apart. Prints one line per mend,
# mismatch and timeout, and a summary. Exit status: 0 when nothing differs but for mends, 1 on a
# mismatch (with --strict also when the new binary timed out where the old one finished), 2 when
# the harness failed, 255 on a bad argument.
# --stuecke: the new binary reads each document from a pipe (-f /dev/stdin) that bench/stueckeln.cpp
# fills in small pieces, each read on its own, many of them cut inside "-->", "</", CR LF or a
# character; the old one reads the file whole. Mismatches name the seed of the pieces.
# See bench/README.md.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BENCH=$ROOT/bench
OUT=$BENCH/out

ALT=
ALT_COMMIT=
NEU=
NEU_RUNNER=
SIZES=20K,100K,300K
BIG=1M
SEEDS=1,2
FORMS=plain,bad,u16,u16-odd,u16-bad-odd
LIMIT=30
JOBS=$(nproc)
KINDS=
INSTALL=1
STRICT=0
KEEP=0
EXACT=0
CORPUS=1
STUECKE=0

usage() {
  sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'
  cat <<'EOF'
Options:
  --alt PATH         the old binary
  --alt-commit SHA   build that commit of this repository (Release) in a temporary folder and use
                     it as the old binary
  --neu PATH         the new binary (default: a fresh Release build of the work tree in
                     build-vergleich/)
  --neu-runner CMD   start the new binary through CMD (words split at blanks), e.g. wine for a
                     brixfilter.exe
  --sizes LIST       document sizes (default 20K,100K,300K; suffixes K, M, G are powers of 1000)
  --big SIZE         the kinds that are not hostile once more at this size (default 1M; 0: none)
  --seeds LIST       generator seeds (default 1,2); the documents with invalid UTF-8 use the first
  --kinds LIST       only these kinds (default: every kind the generator lists)
  --forms LIST       only these forms of each document (default plain,bad,u16,u16-odd,u16-bad-odd:
                     UTF-8 with every seed, with invalid UTF-8, UTF-16LE, UTF-16LE of odd length,
                     UTF-16LE of odd length with lone surrogates)
  --timeout S        give up on one run of either binary after S seconds (default 30)
  --jobs N           documents checked at the same time (default: the number of cores)
  --strict           exit status 1 also when the new binary timed out where the old one finished
  --exact            no mends: every difference is a mismatch (for two builds of the byte engine)
  --keep             keep the documents and outputs of mismatches in bench/out/vergleich/
  --no-corpus        leave out the files of the fuzz seed corpus
  --stuecke          the new binary reads the document from a pipe fed in small pieces
                     (-f /dev/stdin), the old one the file (see above)
  --no-install       do not install missing tools with apt-get
EOF
}

while (($#)); do
  case $1 in
    --alt) ALT=$2; shift ;;
    --alt-commit) ALT_COMMIT=$2; shift ;;
    --neu) NEU=$2; shift ;;
    --neu-runner) NEU_RUNNER=$2; shift ;;
    --sizes) SIZES=$2; shift ;;
    --big) BIG=$2; shift ;;
    --seeds) SEEDS=$2; shift ;;
    --kinds) KINDS=$2; shift ;;
    --forms) FORMS=$2; shift ;;
    --timeout) LIMIT=$2; shift ;;
    --jobs) JOBS=$2; shift ;;
    --strict) STRICT=1 ;;
    --exact) EXACT=1 ;;
    --keep) KEEP=1 ;;
    --no-install) INSTALL=0 ;;
    --no-corpus) CORPUS=0 ;;
    --stuecke) STUECKE=1 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "vergleich.sh: unknown argument: $1" >&2; usage >&2; exit 255 ;;
  esac
  shift
done
if [[ -n $ALT && -n $ALT_COMMIT ]] || [[ -z $ALT && -z $ALT_COMMIT ]]; then
  echo "vergleich.sh: give either --alt PATH or --alt-commit SHA" >&2
  exit 255
fi
[[ $JOBS =~ ^[1-9][0-9]*$ ]] || { echo "vergleich.sh: bad --jobs: $JOBS" >&2; exit 255; }
[[ $LIMIT =~ ^[0-9]+(\.[0-9]+)?$ ]] || { echo "vergleich.sh: bad --timeout: $LIMIT" >&2; exit 255; }
IFS=, read -r -a forms <<<"$FORMS"
for f in "${forms[@]}"; do
  [[ $f =~ ^(plain|bad|u16|u16-odd|u16-bad-odd)$ ]] || { echo "vergleich.sh: bad --forms: $f" >&2; exit 255; }
done

# --- tools -----------------------------------------------------------------------------------
apt_updated=0
need_pkg() {  # need_pkg COMMAND PACKAGE
  command -v "$1" >/dev/null 2>&1 && return 0
  if ((INSTALL == 0)); then echo "vergleich.sh: $1 is missing (package $2)" >&2; exit 2; fi
  export DEBIAN_FRONTEND=noninteractive
  if ((apt_updated == 0)); then apt-get update -q >/dev/null; apt_updated=1; fi
  echo "Installing $2" >&2
  apt-get install -y -q --no-install-recommends "$2" >/dev/null || exit 2
}
need_pkg g++ g++
need_pkg timeout coreutils
if [[ -n $ALT_COMMIT || -z $NEU ]]; then
  need_pkg cmake cmake
  need_pkg make make
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/vergleich.XXXXXX") || exit 2
trap 'rm -rf "$WORK"' EXIT

# build SOURCE BUILD_DIR: a Release build of brixfilter without the tests.
build() {
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DBRIX_TESTS=OFF >/dev/null &&
    cmake --build "$2" -j"$(nproc)" --target brixfilter >/dev/null
}

ALT_LABEL=$ALT
if [[ -n $ALT_COMMIT ]]; then
  # An export of the commit, so that the repository and its work trees stay untouched.
  sha=$(git -C "$ROOT" rev-parse --verify --quiet "$ALT_COMMIT^{commit}") ||
    { echo "vergleich.sh: no commit $ALT_COMMIT" >&2; exit 255; }
  echo "Building commit ${sha:0:7} (Release) in $WORK/alt" >&2
  mkdir -p "$WORK/alt/src"
  git -C "$ROOT" archive "$sha" | tar -x -C "$WORK/alt/src" || exit 2
  build "$WORK/alt/src" "$WORK/alt/build" || { echo "vergleich.sh: building ${sha:0:7} failed" >&2; exit 2; }
  ALT=$WORK/alt/build/brixfilter
  ALT_LABEL="commit ${sha:0:7}"
fi
if [[ -z $NEU ]]; then
  echo "Building the work tree (Release) in build-vergleich/" >&2
  build "$ROOT" "$ROOT/build-vergleich" || { echo "vergleich.sh: building the work tree failed" >&2; exit 2; }
  NEU=$ROOT/build-vergleich/brixfilter
  NEU_LABEL="work tree $(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null)"
  git -C "$ROOT" diff --quiet HEAD -- . ':!bench' 2>/dev/null || NEU_LABEL+=' (modified)'
else
  NEU_LABEL=$NEU
fi
read -r -a neu_run <<<"$NEU_RUNNER"
[[ -n $NEU_RUNNER ]] && NEU_LABEL+=" (through $NEU_RUNNER)"
for b in "$ALT" "$NEU"; do
  [[ -x $b ]] || { echo "vergleich.sh: no executable at $b" >&2; exit 2; }
done
ALT=$(realpath "$ALT") NEU=$(realpath "$NEU")

GEN=$OUT/generator
ABGLEICH=$OUT/abgleich
STUECKELN=$OUT/stueckeln
mkdir -p "$OUT"
for werkzeug in generator abgleich stueckeln; do
  if [[ ! -x $OUT/$werkzeug || $BENCH/$werkzeug.cpp -nt $OUT/$werkzeug || $BENCH/zufall.h -nt $OUT/$werkzeug ]]; then
    g++ -O2 -std=c++17 -o "$OUT/$werkzeug.tmp.$$" "$BENCH/$werkzeug.cpp" && mv "$OUT/$werkzeug.tmp.$$" "$OUT/$werkzeug" || exit 2
  fi
done
((STUECKE)) && NEU_LABEL+=" (reading a pipe in pieces)"

# --- the judge of mends, judged --------------------------------------------------------------
# Each case: the verdict (the first line of abgleich's answer, or its first two words), then the
# old output, the new output and the document as printf %b text, and flags for abgleich. A wrong
# verdict stops the run.
ABGLEICH_FAELLE=(
  'pairs 0 odd 0|abc|abc|abc'                                                                   # equal
  'pairs 1 odd 0|a\xEF\xBF\xBDb|a\xF0\x9F\x98\x80b|x\xF0\x9F\x98\x80'                           # low half DE00 was U+FFFD
  'pairs 1 odd 0|a\x83b|a\xF0\x90\x82\x83b|\xF0\x90\x82\x83'                                    # low half DC83 was the byte 83
  'pairs 1 odd 0|a\xF0b|a\xF0\x9F\x93\xB0b|\xF0\x9F\x93\xB0'                                    # the old byte F0 equals the new lead
  'pairs 2 odd 0|\x83a\xEF\xBF\xBD|\xF0\x90\x82\x83a\xF0\x9F\x98\x80|\xF0\x90\x82\x83\xF0\x9F\x98\x80'  # two
  'not a|a\x84b|a\xF0\x90\x82\x83b|\xF0\x90\x82\x83'                                            # another low byte
  'not a|a\xEF\xBF\xBDb|a\xF0\x90\x82\x83b|\xF0\x90\x82\x83'                                    # DC83 was never U+FFFD
  'not a|a\x80b|a\xF0\x9F\x98\x80b|\xF0\x9F\x98\x80'                                            # DE00 was never a byte
  'not a|a\xEF\xBF\xBDb|a\xF0\x9F\x98\x81b|\xF0\x9F\x98\x80'                                    # a character the document lacks
  'not a|a\xEF\xBF\xBDb|a\xF0\x9F\x98\x80c|\xF0\x9F\x98\x80'                                    # the rest differs
  'not a|a\xEF\xBF\xBD|a\xF0\x9F\x98|\xF0\x9F\x98\x80'                                          # cut short
  'not a|a\xED\xA0\xBD|a\xF0\x9F\x98\x80|\xF0\x9F\x98\x80'                                      # not the old bytes of a low half
  'pairs 0 odd 1|a\n|a\nZ|\xFF\xFEa\0\n\0Z'                                                     # odd UTF-16 file
  'pairs 1 odd 1|\xEF\xBF\xBD|\xF0\x9F\x98\x80Z|\xFF\xFE\x3D\xD8\x00\xDEZ'                      # both, UTF-16
  'not a|a\n|a\n\0|\xFF\xFEa\0\n\0'                                                             # even UTF-16 file
  'not a|abc|abcc|abc'                                                                          # narrow file of odd length
  'not a|a\n|a\nY|\xFF\xFEa\0\n\0Z'                                                             # another byte
  'pairs 0 odd 1|a|aZ|\xFF\xFEa\0\n\0Z'                                                         # the old output ends sooner: kept all the same
  'not a|a\n|a\nZZ|\xFF\xFEa\0\n\0Z'                                                            # two bytes
  'not a|a\n|Za\n|\xFF\xFEa\0\n\0Z'                                                             # the byte elsewhere
  'not a|abc|ab|abc'                                                                            # a byte missing
  'not a|a\n|a\nZ|\xFF\xFEa\0\n\0Z|--liste'                                                     # a listing never holds it
)
pruefe_abgleich() {
  local d fall soll alt neu doc flags ist
  d=$(mktemp -d "${TMPDIR:-/tmp}/abgleich.XXXXXX") || return 1
  for fall in "${ABGLEICH_FAELLE[@]}"; do
    IFS='|' read -r soll alt neu doc flags <<<"$fall"
    printf '%b' "$alt" >"$d/alt"; printf '%b' "$neu" >"$d/neu"; printf '%b' "$doc" >"$d/doc"
    ist=$("$ABGLEICH" "$d/alt" "$d/neu" "$d/doc" $flags | head -n 1)
    if [[ $ist != "$soll"* ]]; then
      echo "vergleich.sh: abgleich judges '$fall' as '$ist'" >&2
      rm -rf "$d"
      return 1
    fi
  done
  rm -rf "$d"
}
pruefe_abgleich || exit 2

# --- what is compared ------------------------------------------------------------------------
# Every option, with names that occur in the catalogs (book, title), in the hostile kinds (p, b,
# i) and nowhere (nix); then a few chains. One command per line; words are split at blanks.
COMMANDS=(
  '-c' '-t' '-r' '-d'
  '-sbook' '-sbook,title' '-sp' '-sp,b,i' '-snix' '-tbook,title'
  '-Sbook' '-Sp' '-Snix'
  '-Rtitle=xxx' '-Rb=yy' '-Rnix=zz' '-Rq='
  '-c -d -sbook,title' '-c -d -sp,b' '-t -Sp' '-Rb=zz -d -c' '-d -Rtitle=T -Sbook' '-Sp -sb'
)

IFS=, read -r -a sizes <<<"$SIZES"
IFS=, read -r -a seeds <<<"$SEEDS"
if [[ -n $KINDS ]]; then
  IFS=, read -r -a kinds <<<"$KINDS"
else
  mapfile -t kinds < <("$GEN" --help | awk '/^kinds:|^hostile kinds/ { on = 1; next } on && /^  [a-z]/ { print $1 }')
fi
((${#kinds[@]})) || { echo "vergleich.sh: no document kinds" >&2; exit 2; }

# A document is "KIND SIZE SEED FORM": the kind (deep:D for a depth), its size, its seed and
# its form: plain (UTF-8, every seed), bad (invalid UTF-8 bytes sprinkled in), u16 (UTF-16LE),
# u16-odd (UTF-16LE with one more byte, the last seed), u16-bad-odd (the bad document as
# UTF-16LE, so with lone surrogates, and one more byte); the forms but plain use the first seed
# unless said otherwise. "deep" is checked at depth 1000 too, and the kinds that are not hostile
# (no h- prefix) once more at the big size (plain, bad and u16-odd).
has_form() { [[ ,$FORMS, == *,$1,* ]]; }
DOCS=()
for size in "${sizes[@]}"; do
  for kind in "${kinds[@]}"; do
    variants=("$kind")
    [[ $kind == deep ]] && variants+=(deep:1000)
    for v in "${variants[@]}"; do
      if has_form plain; then for seed in "${seeds[@]}"; do DOCS+=("$v $size $seed plain"); done; fi
      for f in bad u16 u16-bad-odd; do has_form $f && DOCS+=("$v $size ${seeds[0]} $f"); done
      has_form u16-odd && DOCS+=("$v $size ${seeds[-1]} u16-odd")
    done
  done
done
if [[ $BIG != 0 ]]; then
  for kind in "${kinds[@]}"; do
    [[ $kind == h-* ]] && continue
    for f in plain bad u16-odd; do has_form $f && DOCS+=("$kind $BIG ${seeds[0]} $f"); done
  done
fi

# The seed corpus: each file as it is ("corpus PATH - raw").
if ((CORPUS)); then
  while IFS= read -r -d '' f; do DOCS+=("corpus $f - raw"); done \
    < <(find "$ROOT/tests/fuzz/corpus" -type f -print0 | sort -z)
fi

# doc_args KIND SIZE SEED FORM: sets NAME (KIND[-dDEPTH]-SIZE-sSEED[-FORM], no suffix for plain)
# and ARGS (the generator's arguments).
doc_args() {
  local kind=$1 depth=
  if [[ $kind == corpus ]]; then
    NAME=corpus-${2#"$ROOT/tests/fuzz/corpus/"} NAME=${NAME//\//-} ARGS=()
    return 0
  fi
  ARGS=(--size "$2" --seed "$3")
  if [[ $kind == *:* ]]; then depth=${kind#*:} kind=${kind%%:*}; ARGS+=(--depth "$depth"); fi
  ARGS=(--kind "$kind" "${ARGS[@]}")
  NAME=$kind${depth:+-d$depth}-$2-s$3
  [[ $4 == plain ]] || NAME+=-$4
  [[ $4 == *bad* ]] && ARGS+=(--invalid-utf8)
  [[ $4 == u16* ]] && ARGS+=(--utf16le)
  [[ $4 == *odd ]] && ARGS+=(--odd-length)
  return 0
}

# --- checking one document -------------------------------------------------------------------
# is_listing OPTION...: true when the command lists elements (-s, or -t with a name list), which
# never hold the odd last byte of a UTF-16 document.
is_listing() {
  local o
  for o in "$@"; do
    [[ $o == -s* || ($o == -t?* ) ]] && return 0
  done
  return 1
}

# run_neu DOC SEED OPTION...: the new binary on DOC (through a pipe in pieces of that seed with
# --stuecke), writing $dir/neu.out and $dir/neu.err; sets sb to its exit status.
run_neu() {
  local d=$1 seed=$2
  shift 2
  if ((STUECKE)); then
    "$STUECKELN" --seed "$seed" "$d" 2>/dev/null |
      timeout -k 5 "$LIMIT" "${neu_run[@]}" "$NEU" -f /dev/stdin "$@" >"$dir/neu.out" 2>"$dir/neu.err"
    sb=${PIPESTATUS[1]}
  else
    timeout -k 5 "$LIMIT" "${neu_run[@]}" "$NEU" -f "$d" "$@" >"$dir/neu.out" 2>"$dir/neu.err"
    sb=$?
  fi
}

# check_doc INDEX: generates document INDEX, runs every command with both binaries and writes
# one line per command to $WORK/res/INDEX: OK, MEND, MISMATCH or TIMEOUT (ERROR when the
# generator or abgleich fails).
check_doc() {
  local idx=$1 name doc dir res c sa sb ta tb t0 t1 why urteil sa_ab np no seed nc=0 wie
  doc_args ${DOCS[$idx]}
  name=$NAME
  local src=
  [[ ${DOCS[$idx]} == corpus\ * ]] && { src=${DOCS[$idx]#corpus }; src=${src% - raw}; }
  local -a args=("${ARGS[@]}")
  dir=$WORK/$idx
  res=$WORK/res/$idx
  mkdir -p "$dir"
  doc=$dir/$name.xml
  if [[ -n $src ]]; then
    cp "$src" "$doc" || { echo "ERROR $name: cannot copy $src" >"$res"; return; }
  elif ! "$GEN" "${args[@]}" -o "$doc"; then
    echo "ERROR $name: the generator failed: ${args[*]}" >"$res"
    return
  fi
  : >"$res.tmp"
  for c in "${COMMANDS[@]}"; do
    local -a opts
    read -r -a opts <<<"$c"
    seed=$((idx * 100 + nc)) nc=$((nc + 1)) wie=
    ((STUECKE)) && wie=" (pieces: stueckeln --seed $seed)"
    t0=$EPOCHREALTIME
    timeout -k 5 "$LIMIT" "$ALT" -f "$doc" "${opts[@]}" >"$dir/alt.out" 2>/dev/null; sa=$?
    t1=$EPOCHREALTIME
    ta=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
    t0=$EPOCHREALTIME
    run_neu "$doc" "$seed" "${opts[@]}"
    t1=$EPOCHREALTIME
    # Through a runner (Wine), a run that differs is tried once more: the runner itself fails
    # now and then under load. The retry is listed with what the first try wrote to stderr.
    if ((${#neu_run[@]})) && { ((sa != sb)) || ! cmp -s "$dir/alt.out" "$dir/neu.out"; }; then
      echo "RETRY $name $c: status $sb, stderr: $(head -c 300 "$dir/neu.err" | tr '\n' ' ')" >>"$res.tmp"
      t0=$EPOCHREALTIME
      run_neu "$doc" "$seed" "${opts[@]}"
      t1=$EPOCHREALTIME
    fi
    tb=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
    if ((sa == 124 || sa == 137)) && ((sb == 124 || sb == 137)); then
      echo "TIMEOUT both $name $c" >>"$res.tmp"
    elif ((sa == 124 || sa == 137)); then
      echo "TIMEOUT alt $name $c (neu: status $sb in $tb s)" >>"$res.tmp"
    elif ((sb == 124 || sb == 137)); then
      echo "TIMEOUT neu $name $c (alt: status $sa in $ta s)" >>"$res.tmp"
    elif ((sa != sb)); then
      echo "MISMATCH $name $c: exit status alt $sa, neu $sb$wie" >>"$res.tmp"
    elif why=$(cmp "$dir/alt.out" "$dir/neu.out" 2>&1); then
      echo "OK $name $c" >>"$res.tmp"
    elif ((EXACT == 0)) && urteil=$("$ABGLEICH" "$dir/alt.out" "$dir/neu.out" "$doc" $(is_listing "${opts[@]}" && echo --liste)); sa_ab=$?; ((sa_ab == 0)); then
      # "pairs N odd M"
      read -r _ np _ no <<<"$urteil"
      why=
      ((np)) && why="mend: pair kept ($np)"
      ((no)) && why+="${why:+, }mend: odd byte kept"
      echo "MEND $name $c: $why" >>"$res.tmp"
    elif ((EXACT == 0 && sa_ab != 1)); then
      echo "ERROR $name $c: abgleich failed ($sa_ab)" >>"$res.tmp"
    else
      echo "MISMATCH $name $c: stdout differs ($(stat -c %s "$dir/alt.out") against $(stat -c %s "$dir/neu.out") bytes;" \
        "${why//"$dir/"/}${urteil:+; $urteil})$wie" >>"$res.tmp"
      if ((KEEP)); then
        local keep=$OUT/vergleich/$name
        mkdir -p "$keep"
        cp "$doc" "$keep/" && cp "$dir/alt.out" "$keep/alt${c// /_}.out" && cp "$dir/neu.out" "$keep/neu${c// /_}.out"
      fi
    fi
  done
  rm -rf "$dir"
  mv "$res.tmp" "$res"
}

# --- the run ---------------------------------------------------------------------------------
mkdir -p "$WORK/res"
echo "Comparing ${#DOCS[@]} documents x ${#COMMANDS[@]} commands; alt: $ALT_LABEL, neu: $NEU_LABEL;" \
  "timeout ${LIMIT}s, $JOBS at a time" >&2
start=$SECONDS
running=0
done_docs=0
# Reports a finished document as it comes in.
report_done() {
  local f=$WORK/res/$1 n e m t
  n=$(grep -c '^OK ' "$f") e=$(grep -c '^MEND ' "$f") m=$(grep -c '^MISMATCH ' "$f") t=$(grep -c '^TIMEOUT ' "$f")
  done_docs=$((done_docs + 1))
  doc_args ${DOCS[$1]}
  printf '[%d/%d] %s: %d ok, %d mend, %d mismatch, %d timeout (%ds)\n' "$done_docs" "${#DOCS[@]}" \
    "$NAME" "$n" "$e" "$m" "$t" $((SECONDS - start)) >&2
  grep -E '^(MISMATCH|ERROR) ' "$f" >&2
}
declare -A PENDING=()
# The last documents are the largest: they go first, so that no core waits for one at the end.
for ((i = ${#DOCS[@]} - 1; i >= 0; i--)); do
  check_doc "$i" &
  PENDING[$!]=$i
  running=$((running + 1))
  while ((running >= JOBS)); do
    wait -n -p fin || true
    [[ -n ${fin:-} && -n ${PENDING[$fin]:-} ]] || continue
    report_done "${PENDING[$fin]}"; unset "PENDING[$fin]"; running=$((running - 1))
  done
done
while ((running > 0)); do
  wait -n -p fin || true
  [[ -n ${fin:-} && -n ${PENDING[$fin]:-} ]] || continue
  report_done "${PENDING[$fin]}"; unset "PENDING[$fin]"; running=$((running - 1))
done

# --- summary ---------------------------------------------------------------------------------
all=$WORK/all.txt
for i in "${!DOCS[@]}"; do
  if [[ -s $WORK/res/$i ]]; then cat "$WORK/res/$i"; else echo "ERROR document ${DOCS[$i]}: no result"; fi
done >"$all"
count() { grep -c "^$1" "$all"; }
ok=$(count 'OK ') mend=$(count 'MEND ') mis=$(count 'MISMATCH ') err=$(count 'ERROR ')
t_both=$(count 'TIMEOUT both ') t_alt=$(count 'TIMEOUT alt ') t_neu=$(count 'TIMEOUT neu ')
m_pair=$(grep -c '^MEND .*mend: pair kept' "$all") m_odd=$(grep -c '^MEND .*mend: odd byte kept' "$all")
n_pairs=$(grep -o 'mend: pair kept ([0-9]*)' "$all" | tr -dc '0-9\n' | awk '{ s += $1 } END { print s + 0 }')
{
  echo "alt: $ALT_LABEL"
  echo "neu: $NEU_LABEL"
  echo "documents: ${#DOCS[@]} (sizes $SIZES, seeds $SEEDS, forms $FORMS, big $BIG); commands per document:" \
    "${#COMMANDS[@]}; runs: $((${#DOCS[@]} * ${#COMMANDS[@]}))"
  if ((mend)); then
    echo
    echo "Mends (equal but for the deliberate changes):"
    grep '^MEND ' "$all"
  fi
  echo
  grep -E '^(MISMATCH|ERROR) ' "$all"
  grep '^TIMEOUT ' "$all"
  grep '^RETRY ' "$all"
  echo
  echo "compared: $ok equal, $mend equal but for mends (pair kept: $m_pair runs, $n_pairs pairs;" \
    "odd byte kept: $m_odd runs), $mis mismatches; timeouts (not compared): $t_alt alt only, $t_neu neu only," \
    "$t_both both; errors: $err${NEU_RUNNER:+; runs of neu tried twice: $(count 'RETRY ')}"
  echo "time: $((SECONDS - start)) s"
} | tee "$OUT/vergleich.txt"
echo "Wrote $OUT/vergleich.txt" >&2
if ((err)); then exit 2; fi
if ((mis)); then exit 1; fi
if ((STRICT && t_neu)); then exit 1; fi
exit 0
