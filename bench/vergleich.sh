#!/usr/bin/env bash
# Compares the output of two brixfilter binaries on every kind of generated document.
#
#   bash bench/vergleich.sh --alt PATH [--neu PATH] [options]
#   bash bench/vergleich.sh --alt-commit SHA [--neu PATH] [options]
#
# Generates every document kind of bench/generator.cpp (the catalog kinds and the hostile h-...
# kinds) at a few sizes and seeds, each also with invalid UTF-8 bytes sprinkled in, runs both
# binaries with every option and a few chains, and compares standard output (cmp) and exit
# status. Prints one line per mismatch and per timeout, and a summary. Exit status: 0 when
# nothing differs, 1 on a mismatch (with --strict also when the new binary timed out where the
# old one finished), 2 when the harness failed, 255 on a bad argument.
# See bench/README.md.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BENCH=$ROOT/bench
OUT=$BENCH/out

ALT=
ALT_COMMIT=
NEU=
SIZES=20K,100K,300K
BIG=1M
SEEDS=1,2
LIMIT=30
JOBS=$(nproc)
KINDS=
INSTALL=1
STRICT=0
KEEP=0

usage() {
  sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
  cat <<'EOF'
Options:
  --alt PATH         the old binary
  --alt-commit SHA   build that commit of this repository (Release) in a temporary folder and use
                     it as the old binary
  --neu PATH         the new binary (default: a fresh Release build of the work tree in
                     build-vergleich/)
  --sizes LIST       document sizes (default 20K,100K,300K; suffixes K, M, G are powers of 1000)
  --big SIZE         the kinds that are not hostile once more at this size (default 1M; 0: none)
  --seeds LIST       generator seeds (default 1,2); the documents with invalid UTF-8 use the first
  --kinds LIST       only these kinds (default: every kind the generator lists)
  --timeout S        give up on one run of either binary after S seconds (default 30)
  --jobs N           documents checked at the same time (default: the number of cores)
  --strict           exit status 1 also when the new binary timed out where the old one finished
  --keep             keep the documents and outputs of mismatches in bench/out/vergleich/
  --no-install       do not install missing tools with apt-get
EOF
}

while (($#)); do
  case $1 in
    --alt) ALT=$2; shift ;;
    --alt-commit) ALT_COMMIT=$2; shift ;;
    --neu) NEU=$2; shift ;;
    --sizes) SIZES=$2; shift ;;
    --big) BIG=$2; shift ;;
    --seeds) SEEDS=$2; shift ;;
    --kinds) KINDS=$2; shift ;;
    --timeout) LIMIT=$2; shift ;;
    --jobs) JOBS=$2; shift ;;
    --strict) STRICT=1 ;;
    --keep) KEEP=1 ;;
    --no-install) INSTALL=0 ;;
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
for b in "$ALT" "$NEU"; do
  [[ -x $b ]] || { echo "vergleich.sh: no executable at $b" >&2; exit 2; }
done
ALT=$(realpath "$ALT") NEU=$(realpath "$NEU")

GEN=$OUT/generator
mkdir -p "$OUT"
if [[ ! -x $GEN || $BENCH/generator.cpp -nt $GEN ]]; then
  g++ -O2 -std=c++17 -o "$GEN.tmp.$$" "$BENCH/generator.cpp" && mv "$GEN.tmp.$$" "$GEN" || exit 2
fi

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

# A document is "KIND SIZE SEED BAD": the kind (deep:D for a depth), its size, its seed, and
# 1 for invalid UTF-8. "deep" is checked at depth 1000 too, and the kinds that are not hostile
# (no h- prefix) once more at the big size.
DOCS=()
for size in "${sizes[@]}"; do
  for kind in "${kinds[@]}"; do
    variants=("$kind")
    [[ $kind == deep ]] && variants+=(deep:1000)
    for v in "${variants[@]}"; do
      for seed in "${seeds[@]}"; do DOCS+=("$v $size $seed 0"); done
      DOCS+=("$v $size ${seeds[0]} 1")
    done
  done
done
if [[ $BIG != 0 ]]; then
  for kind in "${kinds[@]}"; do
    [[ $kind == h-* ]] && continue
    DOCS+=("$kind $BIG ${seeds[0]} 0" "$kind $BIG ${seeds[0]} 1")
  done
fi

# doc_args KIND SIZE SEED BAD: sets NAME (KIND[-dDEPTH]-SIZE-sSEED[-bad]) and ARGS (the
# generator's arguments).
doc_args() {
  local kind=$1 depth=
  ARGS=(--size "$2" --seed "$3")
  if [[ $kind == *:* ]]; then depth=${kind#*:} kind=${kind%%:*}; ARGS+=(--depth "$depth"); fi
  ARGS=(--kind "$kind" "${ARGS[@]}")
  NAME=$kind${depth:+-d$depth}-$2-s$3
  if (($4)); then NAME+=-bad; ARGS+=(--invalid-utf8); fi
}

# --- checking one document -------------------------------------------------------------------
# check_doc INDEX: generates document INDEX, runs every command with both binaries and writes
# one line per command to $WORK/res/INDEX: OK, MISMATCH or TIMEOUT (ERROR when the generator
# fails).
check_doc() {
  local idx=$1 name doc dir res c sa sb ta tb t0 t1 why
  doc_args ${DOCS[$idx]}
  name=$NAME
  local -a args=("${ARGS[@]}")
  dir=$WORK/$idx
  res=$WORK/res/$idx
  mkdir -p "$dir"
  doc=$dir/$name.xml
  if ! "$GEN" "${args[@]}" -o "$doc"; then
    echo "ERROR $name: the generator failed: ${args[*]}" >"$res"
    return
  fi
  : >"$res.tmp"
  for c in "${COMMANDS[@]}"; do
    local -a opts
    read -r -a opts <<<"$c"
    t0=$EPOCHREALTIME
    timeout -k 5 "$LIMIT" "$ALT" -f "$doc" "${opts[@]}" >"$dir/alt.out" 2>/dev/null; sa=$?
    t1=$EPOCHREALTIME
    ta=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
    t0=$EPOCHREALTIME
    timeout -k 5 "$LIMIT" "$NEU" -f "$doc" "${opts[@]}" >"$dir/neu.out" 2>/dev/null; sb=$?
    t1=$EPOCHREALTIME
    tb=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
    if ((sa == 124 || sa == 137)) && ((sb == 124 || sb == 137)); then
      echo "TIMEOUT both $name $c" >>"$res.tmp"
    elif ((sa == 124 || sa == 137)); then
      echo "TIMEOUT alt $name $c (neu: status $sb in $tb s)" >>"$res.tmp"
    elif ((sb == 124 || sb == 137)); then
      echo "TIMEOUT neu $name $c (alt: status $sa in $ta s)" >>"$res.tmp"
    elif ((sa != sb)); then
      echo "MISMATCH $name $c: exit status alt $sa, neu $sb" >>"$res.tmp"
    elif ! why=$(cmp "$dir/alt.out" "$dir/neu.out" 2>&1); then
      echo "MISMATCH $name $c: stdout differs ($(stat -c %s "$dir/alt.out") against $(stat -c %s "$dir/neu.out") bytes; ${why//"$dir/"/})" >>"$res.tmp"
      if ((KEEP)); then
        local keep=$OUT/vergleich/$name
        mkdir -p "$keep"
        cp "$doc" "$keep/" && cp "$dir/alt.out" "$keep/alt${c// /_}.out" && cp "$dir/neu.out" "$keep/neu${c// /_}.out"
      fi
    else
      echo "OK $name $c" >>"$res.tmp"
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
  local f=$WORK/res/$1 n m t
  n=$(grep -c '^OK ' "$f") m=$(grep -c '^MISMATCH ' "$f") t=$(grep -c '^TIMEOUT ' "$f")
  done_docs=$((done_docs + 1))
  doc_args ${DOCS[$1]}
  printf '[%d/%d] %s: %d ok, %d mismatch, %d timeout (%ds)\n' "$done_docs" "${#DOCS[@]}" \
    "$NAME" "$n" "$m" "$t" $((SECONDS - start)) >&2
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
ok=$(count 'OK ') mis=$(count 'MISMATCH ') err=$(count 'ERROR ')
t_both=$(count 'TIMEOUT both ') t_alt=$(count 'TIMEOUT alt ') t_neu=$(count 'TIMEOUT neu ')
{
  echo "alt: $ALT_LABEL"
  echo "neu: $NEU_LABEL"
  echo "documents: ${#DOCS[@]} (sizes $SIZES, seeds $SEEDS, big $BIG); commands per document: ${#COMMANDS[@]}"
  echo
  grep -E '^(MISMATCH|ERROR) ' "$all"
  grep '^TIMEOUT ' "$all"
  echo
  echo "compared: $ok equal, $mis mismatches; timeouts (not compared): $t_alt alt only, $t_neu neu only, $t_both both; errors: $err"
  echo "time: $((SECONDS - start)) s"
} | tee "$OUT/vergleich.txt"
echo "Wrote $OUT/vergleich.txt" >&2
if ((err)); then exit 2; fi
if ((mis)); then exit 1; fi
if ((STRICT && t_neu)); then exit 1; fi
exit 0
