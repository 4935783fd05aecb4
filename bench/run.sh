#!/usr/bin/env bash
# Benchmark of brixfilter against its peers (cat, perl, sed, xmlstarlet), and its scaling checks.
#
#   bash bench/run.sh [--size 100M] [--quick] [--scaling | --all | --hostile | --huge | --streaming] [options]
#
# Default mode: times every option of brixfilter side by side with the peers on a generated
# catalog (and brixfilter against perl on the other document kinds), prints a table, writes
# bench/out/results.md and bench/out/chart.svg, and copies the chart to bench/chart.svg.
# --scaling: times every option on catalog 10M vs 100M and on deep documents of depth 10 vs
# depth 100000 of the same size, and prints PASS/FAIL per check.
# --huge: a 3 GiB document (a sparse file of zero bytes, then "<book/>tail") through -S book and
# -c: time, peak RSS, and whether the output is right. Writes bench/out/huge.md.
# --hostile: times every option on each hostile document kind (h-...) at two sizes (1M and 4M,
# in alternating rounds as in the scaling checks) and prints PASS/FAIL per kind and option: time
# ratio within 1.25 x the size ratio, and the large document done in under a second. Writes
# bench/out/hostile.md.
# --streaming: 2 GB of book records of about 2 KiB through every option and a chain, read from a
# pipe (cat DOC | brixfilter) and from the file (-f), and a 2 GB single-root document through -c
# and -t: time and peak RSS, PASS/FAIL against 32 MiB; then the time to the first output byte
# when the first record comes and the rest follows 2 s later (PASS under 1 s). Writes
# bench/out/streaming.md.
# See bench/README.md for the columns, the peers' command lines and every option.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BENCH=$ROOT/bench
OUT=$BENCH/out
DATA=$BENCH/data

SIZE=100M
XSIZE=
MODE=compare
RUNS=3
MAXRUNS=10
LIMIT=60
SLOW=10
SEED=42
BIN=
BIN_COMMIT=
HSIZES=1M,4M
HKINDS=
SSIZE=2G
RSIZE=2K
LIMIT_SET=0
STRICT=0
KINDS=1
INSTALL=1

usage() {
  sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'
  cat <<'EOF'
Options:
  --size N        document size for the comparison and the large side of the scaling checks
                  (suffix K, M, G; powers of 1000; default 100M)
  --quick         --size 10M (and 1M vs 10M for the scaling checks)
  --scaling       run the scaling checks instead of the comparison
  --all           run the comparison, then the scaling checks
  --hostile       time every option on the hostile document kinds at two sizes (see below)
  --huge          a 3 GiB document through -S book and -c (needs 3 GiB of free memory)
  --streaming     peak RSS and time reading a pipe and a file, and the time to the first byte
  --streaming-size N  document size of --streaming (default 2G; needs twice that on the disk)
  --record-size N     size of the records of --streaming (default 2K)
  --hostile-sizes A,B  the two sizes of --hostile (default 1M,4M; 250K,1M for a quick look)
  --hostile-kinds K,.. only these hostile kinds (default: every h-... kind of the generator)
  --xml-size N    size of the document that xmlstarlet reads (default: the smaller of --size and 10M)
  --no-kinds      skip the table of the other document kinds
  --runs N        at least N timed runs per command (default 3; fast commands get up to 10;
                  at least 5 rounds in the scaling checks, 15 for fast pairs)
  --timeout S     give up on one command after S seconds (default 60, 600 for --streaming); it is
                  reported as a timeout
  --seed N        generator seed (default 42)
  --bin PATH      time this binary instead of building one in build-bench/
  --bin-commit C  the commit that binary was built from, for the reports (default: unknown;
                  the work tree's commit when the script builds the binary itself)
  --no-install    do not install missing tools with apt-get
  --strict        exit with status 1 when a check fails
EOF
}

while (($#)); do
  case $1 in
    --size) SIZE=$2; shift ;;
    --size=*) SIZE=${1#*=} ;;
    --quick) SIZE=10M ;;
    --scaling) MODE=scaling ;;
    --all) MODE=all ;;
    --hostile) MODE=hostile ;;
    --huge) MODE=huge ;;
    --streaming) MODE=streaming ;;
    --streaming-size) SSIZE=$2; shift ;;
    --record-size) RSIZE=$2; shift ;;
    --hostile-sizes) HSIZES=$2; shift ;;
    --hostile-sizes=*) HSIZES=${1#*=} ;;
    --hostile-kinds) HKINDS=$2; shift ;;
    --hostile-kinds=*) HKINDS=${1#*=} ;;
    --xml-size) XSIZE=$2; shift ;;
    --xml-size=*) XSIZE=${1#*=} ;;
    --no-kinds) KINDS=0 ;;
    --runs) RUNS=$2; shift; ((MAXRUNS < RUNS)) && MAXRUNS=$RUNS ;;
    --timeout) LIMIT=$2; LIMIT_SET=1; shift ;;
    --seed) SEED=$2; shift ;;
    --bin) BIN=$2; shift ;;
    --bin=*) BIN=${1#*=} ;;
    --bin-commit) BIN_COMMIT=$2; shift ;;
    --no-install) INSTALL=0 ;;
    --strict) STRICT=1 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run.sh: unknown argument: $1" >&2; usage >&2; exit 255 ;;
  esac
  shift
done

# Byte count of a size such as 10M (powers of 1000).
bytes_of() {
  local s=$1 n f=1
  case $s in
    *[kK]) n=${s%?}; f=1000 ;;
    *[mM]) n=${s%?}; f=1000000 ;;
    *[gG]) n=${s%?}; f=1000000000 ;;
    *) n=$s ;;
  esac
  [[ $n =~ ^[0-9]+$ ]] || { echo "run.sh: bad size: $s" >&2; exit 255; }
  echo $((n * f))
}
SIZE_B=$(bytes_of "$SIZE")
TEN_B=$(bytes_of 10M)
if [[ -z $XSIZE ]]; then
  if ((SIZE_B > TEN_B)); then XSIZE=10M; else XSIZE=$SIZE; fi
fi
XSIZE_B=$(bytes_of "$XSIZE")

mkdir -p "$OUT" "$DATA" "$OUT/json"

# --- tools -----------------------------------------------------------------------------------
apt_updated=0
need_pkg() {  # need_pkg COMMAND PACKAGE
  command -v "$1" >/dev/null 2>&1 && return 0
  if ((INSTALL == 0)); then echo "run.sh: $1 is missing (package $2)" >&2; exit 2; fi
  export DEBIAN_FRONTEND=noninteractive
  if ((apt_updated == 0)); then apt-get update -q >/dev/null; apt_updated=1; fi
  echo "Installing $2" >&2
  apt-get install -y -q --no-install-recommends "$2" >/dev/null
}
[[ -x /usr/bin/time ]] || { need_pkg /usr/bin/time time; }
[[ $MODE == streaming ]] || need_pkg hyperfine hyperfine
[[ $MODE == hostile || $MODE == huge || $MODE == streaming ]] || need_pkg xmlstarlet xmlstarlet
need_pkg perl perl
need_pkg g++ g++
need_pkg timeout coreutils
if [[ -z $BIN ]]; then
  need_pkg cmake cmake
  need_pkg make make
fi

# --- brixfilter ------------------------------------------------------------------------------
if [[ -z $BIN ]]; then
  echo "Building brixfilter (Release) in build-bench/" >&2
  if ! { cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBRIX_TESTS=OFF >/dev/null &&
         cmake --build build-bench -j"$(nproc)" --target brixfilter >/dev/null; }; then
    echo "run.sh: building brixfilter failed" >&2
    exit 2
  fi
  BIN=$ROOT/build-bench/brixfilter
  BIN_COMMIT=$(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)
  git -C "$ROOT" diff --quiet HEAD -- . ':!bench' 2>/dev/null || BIN_COMMIT+=' (work tree modified)'
fi
[[ -x $BIN ]] || { echo "run.sh: no executable at $BIN" >&2; exit 2; }
BIN=$(cd "$(dirname "$BIN")" && pwd)/$(basename "$BIN")

# --- documents -------------------------------------------------------------------------------
GEN=$OUT/generator
if [[ ! -x $GEN || $BENCH/generator.cpp -nt $GEN || $BENCH/zufall.h -nt $GEN ]]; then
  g++ -O2 -std=c++17 -o "$GEN" "$BENCH/generator.cpp"
fi

# The least element walk (bench/kleinster_lauf.c), the floor the element options are measured
# against in the comparison; it needs AVX2.
WALK=
if grep -qw avx2 /proc/cpuinfo 2>/dev/null; then
  WALK=$OUT/kleinster_lauf
  if [[ ! -x $WALK || $BENCH/kleinster_lauf.c -nt $WALK ]]; then
    gcc -O2 -o "$WALK" "$BENCH/kleinster_lauf.c" || WALK=
  fi
fi

# doc KIND SIZE [DEPTH] [wrap] -> prints the path, generating the file when needed.
doc() {
  local kind=$1 size=$2 depth=${3:-} wrap=${4:-} name args
  name=$kind
  args=(--kind "$kind" --size "$size" --seed "$SEED")
  if [[ -n $depth ]]; then name+="-d$depth"; args+=(--depth "$depth"); fi
  name+="-$size-s$SEED"
  if [[ -n $wrap ]]; then name+="-wrapped"; args+=(--wrap); fi
  local f=$DATA/$name.xml
  if [[ ! -s $f || $GEN -nt $f ]]; then
    "$GEN" "${args[@]}" -o "$f.tmp" && mv "$f.tmp" "$f"
  fi
  echo "$f"
}

# --- measuring -------------------------------------------------------------------------------
# first_run COMMAND: one run under /usr/bin/time inside timeout; sets R_ELAPSED, R_RSS (KiB),
# R_STATUS (124: timed out), R_CRC and R_LEN (checksum and length of the output).
first_run() {
  local cmd=$1 tf cf
  tf=$(mktemp) cf=$(mktemp)
  set +e
  eval "/usr/bin/time -f '%e %M' -o '$tf' timeout $LIMIT $cmd" 2>/dev/null | cksum >"$cf"
  R_STATUS=${PIPESTATUS[0]}
  set -e
  R_ELAPSED=0 R_RSS=0 R_CRC=0 R_LEN=0
  read -r R_ELAPSED R_RSS < <(tail -n 1 "$tf") || true
  read -r R_CRC R_LEN < "$cf" || true
  rm -f "$tf" "$cf"
  [[ $R_RSS =~ ^[0-9]+$ ]] || R_RSS=0
  [[ $R_ELAPSED =~ ^[0-9.]+$ ]] || R_ELAPSED=0
}

at_least() { awk -v e="$1" -v s="$2" 'BEGIN { exit !(e >= s) }'; }

# row TSV SECTION JOB TOOL LABEL FILE MEDIAN FASTEST RUNS COMMAND (with the R_ values of its first run)
row() {
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$2" "$3" "$4" "$5" "$(stat -c %s "$6")" \
    "$7" "$8" "$9" "$R_RSS" "$R_STATUS" "$R_CRC" "$R_LEN" "${10}" >>"$1"
}

# measure TSV SECTION JOB TOOL LABEL DOC COMMAND
# The first run gives peak RSS, exit status and output checksum; then, unless that run timed out
# or was slow, hyperfine gives the median. Appends one line to TSV.
measure() {
  local tsv=$1 section=$2 job=$3 tool=$4 label=$5 file=$6 cmd=$7
  local median fastest runs json warm=1 count=(--min-runs "$RUNS" --max-runs "$MAXRUNS")
  printf '  %-8s %-11s %-22s ' "$job" "$tool" "$label" >&2
  first_run "$cmd"
  json=$OUT/json/$section-$job-$tool-$label.json
  if ((R_STATUS == 124)); then
    median=$LIMIT fastest=$LIMIT runs=0
    printf 'timeout (> %ss)\n' "$LIMIT" >&2
  elif at_least "$R_ELAPSED" "$SLOW"; then
    median=$R_ELAPSED fastest=$R_ELAPSED runs=1
    printf '%8.3f s (one run)\n' "$median" >&2
  else
    # A first run of a second or more has warmed the caches; one of two seconds or more
    # leaves room for two more runs only, to keep the whole benchmark bounded.
    at_least "$R_ELAPSED" 1 && warm=0
    at_least "$R_ELAPSED" 2 && count=(--runs "$(((RUNS + 1) / 2))")
    hyperfine -N -i --style none --output=null --warmup "$warm" "${count[@]}" \
      --export-json "$json" "$cmd" >/dev/null 2>&1 || true
    read -r median fastest runs < <(perl -MJSON::PP -e '
      local $/; my $j = decode_json(<STDIN>); my $r = $j->{results}[0];
      printf "%.6f %.6f %d\n", $r->{median}, $r->{min}, scalar @{ $r->{times} };' <"$json" 2>/dev/null) ||
      { median=$R_ELAPSED; fastest=$R_ELAPSED; runs=1; }
    printf '%8.3f s (%d runs)\n' "$median" "$runs" >&2
  fi
  row "$tsv" "$section" "$job" "$tool" "$label" "$file" "$median" "$fastest" "$runs" "$cmd"
}

# median of the numbers on standard input
median_of() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure_pair TSV SECTION JOB LABEL_A DOC_A COMMAND_A LABEL_B DOC_B COMMAND_B
# Times two commands whose time ratio matters in alternating rounds (A B, B A, A B, ...), so that
# other load on the machine falls on both alike; appends one line for each. With PAIR_SKIP=1, B
# (the larger document) is not run when A timed out; its line says so (checksum "skipped").
PAIR_SKIP=0
measure_pair() {
  local tsv=$1 section=$2 job=$3 la=$4 fa=$5 ca=$6 lb=$7 fb=$8 cb=$9
  local sa ra ea sb rb eb i rounds t0 t1 ta=() tb=()
  printf '  %-8s %-22s %-22s ' "$job" "$la" "$lb" >&2
  first_run "$ca"; sa=$R_STATUS ra=("$R_RSS" "$R_CRC" "$R_LEN") ea=$R_ELAPSED
  if ((sa == 124 && PAIR_SKIP)); then
    sb=124 rb=(0 skipped 0) eb=$LIMIT
  else
    first_run "$cb"; sb=$R_STATUS rb=("$R_RSS" "$R_CRC" "$R_LEN") eb=$R_ELAPSED
  fi
  if ((sa == 124 || sb == 124)) || at_least "$ea" "$SLOW" || at_least "$eb" "$SLOW"; then
    rounds=0
    ta=("$ea") tb=("$eb")
    ((sa == 124)) && ta=("$LIMIT")
    ((sb == 124)) && tb=("$LIMIT")
  else
    rounds=$((RUNS > 5 ? RUNS : 5))
    at_least 1 "$(awk -v a="$ea" -v b="$eb" 'BEGIN { print a + b }')" && rounds=$((rounds * 3))
    for ((i = 0; i < rounds; i++)); do
      if ((i % 2 == 0)); then
        t0=$EPOCHREALTIME; eval "$ca" >/dev/null 2>&1 || true; t1=$EPOCHREALTIME; ta+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")
        t0=$EPOCHREALTIME; eval "$cb" >/dev/null 2>&1 || true; t1=$EPOCHREALTIME; tb+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")
      else
        t0=$EPOCHREALTIME; eval "$cb" >/dev/null 2>&1 || true; t1=$EPOCHREALTIME; tb+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")
        t0=$EPOCHREALTIME; eval "$ca" >/dev/null 2>&1 || true; t1=$EPOCHREALTIME; ta+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")
      fi
    done
  fi
  local ma mb na nb
  ma=$(printf '%s\n' "${ta[@]}" | median_of) na=$(printf '%s\n' "${ta[@]}" | sort -g | head -n1)
  mb=$(printf '%s\n' "${tb[@]}" | median_of) nb=$(printf '%s\n' "${tb[@]}" | sort -g | head -n1)
  printf '%8.3f s  %8.3f s  (%d rounds)%s\n' "$ma" "$mb" "$rounds" \
    "$( ((sa == 124 || sb == 124)) && echo ', timeout')" >&2
  R_STATUS=$sa R_RSS=${ra[0]} R_CRC=${ra[1]} R_LEN=${ra[2]}
  row "$tsv" "$section" "$job" brixfilter "$la" "$fa" "$ma" "$na" "${#ta[@]}" "$ca"
  R_STATUS=$sb R_RSS=${rb[0]} R_CRC=${rb[1]} R_LEN=${rb[2]}
  row "$tsv" "$section" "$job" brixfilter "$lb" "$fb" "$mb" "$nb" "${#tb[@]}" "$cb"
}

JOBS=(c t d s S R)
declare -A OPT=([c]=-c [t]=-t [d]=-d [s]=-sbook,title [S]=-Sbook [R]=-Rtitle=xxx)

# The peers' command lines; DOC stands for the document.
declare -A PERL=(
  [c]="perl -0777 -pe 's/<!--(?<![^\\r\\n]<!--).*?-->[\\r\\n]*|<!--.*?-->\\r*//gs' DOC"
  [t]="perl -0777 -pe 's/<[^>]*>//g' DOC"
  [d]="perl -0777 -pe 's/^<(\\w+)(?:\\s[^>]*)?(?:\\/>|><\\/\\1>)//gm' DOC"
  [s]="perl -0777 -ne 'while (/^(<book\\b[^>]*\\/>)|^(<book\\b[^>]*>)(.*?)(<\\/book>)/gms) { if (defined \$1) { print \"\$1\\r\\n\" } else { my (\$o, \$c, \$e) = (\$2, \$3, \$4); print \$o, \$c =~ /^  (<title\\b.*?<\\/title>)/gm, \$e, \"\\r\\n\" } }' DOC"
  [S]="perl -0777 -pe 's/\\A.*<\\/book>//s' DOC"
  [R]="perl -0777 -pe 's/(<title\\b[^>]*>).*?(<\\/title>)/\$1xxx\$2/gs' DOC"
)
declare -A SED=(
  [t]="sed -e 's/<[^>]*>//g' DOC"
)
declare -A XMLS=(
  [c]="xmlstarlet ed -d '//comment()' DOC"
  [t]="xmlstarlet sel -t -v /catalog DOC"
  [d]="xmlstarlet ed -d '/catalog/*[not(node())]' DOC"
  [s]="xmlstarlet sel -t -m /catalog/book -c title -n DOC"
  [S]="xmlstarlet sel -t -c '/catalog/book[last()]/following-sibling::node()' DOC"
  [R]="xmlstarlet ed -u '//title' -v xxx DOC"
)

with_doc() { local c=$1 f=$2; echo "${c//DOC/$f}"; }
rel() { echo "${1#"$ROOT"/}"; }

environment() {
  {
    echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
    local dirty=
    git -C "$ROOT" diff --quiet HEAD -- . ':!bench' 2>/dev/null || dirty=' (work tree modified)'
    echo "commit: $(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)$dirty"
    echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //') ($(nproc) cores)"
    echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "binary: $(rel "$BIN") (built from commit ${BIN_COMMIT:-unknown})"
    echo "tools: $(hyperfine --version 2>/dev/null || echo 'hyperfine (not installed)'), xmlstarlet $(xmlstarlet --version 2>/dev/null | head -n1 | grep . || echo "(not installed)"), perl $(perl -e 'print $^V'), $(sed --version | head -n1)"
    echo "seed: $SEED; runs: at least $RUNS; timeout: ${LIMIT}s; commands slower than ${SLOW}s are timed once"
  }
}

compare() {
  local tsv=$OUT/results.tsv
  : >"$tsv"
  echo "Generating documents (size $SIZE, xmlstarlet $XSIZE)" >&2
  local cat_doc xml_doc
  cat_doc=$(doc catalog-lf "$SIZE")
  xml_doc=$(doc catalog-lf "$XSIZE" "" wrap)
  local lab=catalog-lf-$SIZE xlab=catalog-wrapped-$XSIZE
  echo "Comparison on $(rel "$cat_doc")" >&2
  measure "$tsv" main floor cat "$lab" "$cat_doc" "cat $(rel "$cat_doc")"
  if [[ -n $WALK ]]; then
    measure "$tsv" main walk kleinster_lauf "$lab" "$cat_doc" "$(rel "$WALK") $(rel "$cat_doc")"
  fi
  local j
  for j in "${JOBS[@]}"; do
    measure "$tsv" main "$j" brixfilter "$lab" "$cat_doc" "$(rel "$BIN") -f $(rel "$cat_doc") ${OPT[$j]}"
    measure "$tsv" main "$j" perl "$lab" "$cat_doc" "$(with_doc "${PERL[$j]}" "$(rel "$cat_doc")")"
    if [[ -n ${SED[$j]:-} ]]; then
      measure "$tsv" main "$j" sed "$lab" "$cat_doc" "$(with_doc "${SED[$j]}" "$(rel "$cat_doc")")"
    fi
    measure "$tsv" main "$j" xmlstarlet "$xlab" "$xml_doc" "$(with_doc "${XMLS[$j]}" "$(rel "$xml_doc")")"
  done
  if ((KINDS)); then
    local art kind depth f label
    for art in catalog-crlf flat comments children deep:100000; do
      kind=${art%%:*} depth=
      [[ $art == *:* ]] && depth=${art#*:}
      f=$(doc "$kind" "$SIZE" "$depth")
      label=$kind${depth:+-d$depth}-$SIZE
      echo "Document kind $label" >&2
      for j in "${JOBS[@]}"; do
        measure "$tsv" kinds "$j" brixfilter "$label" "$f" "$(rel "$BIN") -f $(rel "$f") ${OPT[$j]}"
        measure "$tsv" kinds "$j" perl "$label" "$f" "$(with_doc "${PERL[$j]}" "$(rel "$f")")"
      done
    done
  fi
  environment >"$OUT/environment.txt"
  perl "$BENCH/report.pl" compare "$tsv" "$OUT" || rc=$((rc ? rc : $?))
  if [[ -s $OUT/chart.svg ]]; then cp "$OUT/chart.svg" "$BENCH/chart.svg"; fi
}

scaling() {
  local tsv=$OUT/scaling.tsv
  : >"$tsv"
  local small=10M big=100M
  if ((SIZE_B < $(bytes_of 100M))); then small=1M big=10M; fi
  [[ $SIZE != "$big" ]] && [[ $SIZE_B -ge $(bytes_of 100M) ]] && big=$SIZE
  echo "Generating documents (catalog $small and $big, deep $big)" >&2
  local fs fb d10 dbig j
  fs=$(doc catalog-lf "$small")
  fb=$(doc catalog-lf "$big")
  d10=$(doc deep "$big" 10)
  dbig=$(doc deep "$big" 100000)
  echo "Scaling checks (job, documents, median seconds of each)" >&2
  local cmd="$(rel "$BIN") -f"
  for j in "${JOBS[@]}"; do
    measure_pair "$tsv" size "$j" "catalog-lf-$small" "$fs" "$cmd $(rel "$fs") ${OPT[$j]}" \
      "catalog-lf-$big" "$fb" "$cmd $(rel "$fb") ${OPT[$j]}"
    measure_pair "$tsv" depth "$j" "deep-d10-$big" "$d10" "$cmd $(rel "$d10") ${OPT[$j]}" \
      "deep-d100000-$big" "$dbig" "$cmd $(rel "$dbig") ${OPT[$j]}"
  done
  environment >"$OUT/environment-scaling.txt"
  perl "$BENCH/report.pl" scaling "$tsv" "$OUT" || rc=$((rc ? rc : $?))
}

# The options timed on the hostile documents. Their names occur in every hostile kind (nested
# in <r> in the kinds with a root), except "nix", which occurs nowhere.
HJOBS=(c t d s1 s2 Sj Sn Rj Rn chain)
declare -A HOPT=([c]=-c [t]=-t [d]=-d [s1]=-sp [s2]=-sp,b [Sj]=-Sp [Sn]=-Snix [Rj]=-Rb=xxx [Rn]=-Rnix=xxx
                 [chain]='-c -d -sp,b')

hostile() {
  local tsv=$OUT/hostile.tsv small large kinds k j f fs cmd
  : >"$tsv"
  IFS=, read -r small large <<<"$HSIZES"
  [[ -n $small && -n $large ]] || { echo "run.sh: --hostile-sizes needs two sizes, like 1M,4M" >&2; exit 255; }
  bytes_of "$small" >/dev/null && bytes_of "$large" >/dev/null
  if [[ -n $HKINDS ]]; then
    IFS=, read -r -a kinds <<<"$HKINDS"
  else
    mapfile -t kinds < <("$GEN" --help | awk '$1 ~ /^h-/ { print $1 }')
  fi
  ((${#kinds[@]})) || { echo "run.sh: no hostile kinds" >&2; exit 2; }
  # Slow runs are what these documents look for: a pair with a run of 2 s or more is timed
  # once, and the larger document is not run when the smaller one timed out.
  SLOW=2 PAIR_SKIP=1
  echo "Hostile documents ($small against $large; job, documents, median seconds of each)" >&2
  cmd="$(rel "$BIN") -f"
  for k in "${kinds[@]}"; do
    fs=$(doc "$k" "$small")
    f=$(doc "$k" "$large")
    for j in "${HJOBS[@]}"; do
      measure_pair "$tsv" hostile "$j" "$k-$small" "$fs" "$cmd $(rel "$fs") ${HOPT[$j]}" \
        "$k-$large" "$f" "$cmd $(rel "$f") ${HOPT[$j]}"
    done
  done
  environment >"$OUT/environment-hostile.txt"
  perl "$BENCH/report.pl" hostile "$tsv" "$OUT" || rc=$((rc ? rc : $?))
}

# A document larger than 2^31 bytes (and 2^31 UTF-16 units): 3 GiB of zero bytes, held sparse on
# the disk, then "<book/>tail". -S book must write "tail"; -c the whole file.
huge() {
  local f=$DATA/huge-3GiB.xml n out t rss st ok report=$OUT/huge.md
  mkdir -p "$DATA" "$OUT"
  n=$((3 * 1024 * 1024 * 1024))
  if [[ ! -f $f || $(stat -c %s "$f") != $((n + 11)) ]]; then
    rm -f "$f"; truncate -s "$n" "$f" && printf '<book/>tail' >>"$f" || { echo "run.sh: cannot make $f" >&2; rc=2; return; }
  fi
  {
    echo "# brixfilter on a 3 GiB document"
    echo
    echo '```'
    environment
    echo '```'
    echo
    echo "| command | status | seconds | peak RSS MiB | output | check |"
    echo "|---|---:|---:|---:|---|---|"
  } >"$report"
  for o in "-S book" "-c"; do
    out=$(mktemp)
    /usr/bin/time -f '%e %M' -o "$out.time" "$BIN" -f "$f" $o | { if [[ $o == -c ]]; then cksum; else cat; fi; } >"$out"
    st=${PIPESTATUS[0]}
    read -r t rss <"$out.time" || true
    if [[ $o == -c ]]; then
      ok=$([[ $(cat "$out") == "$(cksum <"$f")" ]] && echo PASS || echo FAIL)
      desc="cksum $(cut -d' ' -f1-2 "$out")"
    else
      ok=$([[ $(cat "$out") == tail ]] && echo PASS || echo FAIL)
      desc="\"$(head -c 40 "$out")\""
    fi
    ((st == 0)) || ok=FAIL
    [[ $ok == PASS ]] || rc=1
    echo "| \`brixfilter -f huge-3GiB.xml $o\` | $st | $t | $((rss / 1024)) | $desc | $ok |" >>"$report"
    echo "  $o: status $st, $t s, $((rss / 1024)) MiB, $ok" >&2
    rm -f "$out" "$out.time"
  done
  echo "Wrote $report" >&2
}

# The bound on peak RSS of --streaming, in KiB.
STREAM_RSS=$((32 * 1024))
SOPTS=(-c -t -d -sbook,title -Sbook -Rtitle=X '-c -d -sbook,title')
TOPTS=(-c -t -d -sbook,title -Rtitle=X '-c -d')

# stream_run INPUT OPTIONS DOC: one run of brixfilter over DOC, from a pipe (INPUT "pipe": cat DOC |)
# or the file (-f DOC), output to /dev/null, under /usr/bin/time; appends a row to the report.
stream_run() {
  local how=$1 opts=$2 f=$3 tf st t rss ok
  tf=$(mktemp)
  set +e
  if [[ $how == pipe ]]; then
    cat "$f" | timeout "$LIMIT" /usr/bin/time -f '%M %e' -o "$tf" "$BIN" $opts >/dev/null
    st=${PIPESTATUS[1]}
  else
    timeout "$LIMIT" /usr/bin/time -f '%M %e' -o "$tf" "$BIN" -f "$f" $opts >/dev/null
    st=$?
  fi
  set -e
  read -r rss t < <(tail -n 1 "$tf") || true
  rm -f "$tf"
  [[ $rss =~ ^[0-9]+$ ]] || rss=0
  ok=PASS
  ((st == 0 && rss > 0 && rss <= STREAM_RSS)) || { ok=FAIL; rc=1; }
  printf '| `%s` | %s | %s | %s | %.1f | %s | %s |\n' "$opts" "$(basename "$f")" "$how" "$st" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')" \
    "${t:-?}" "$ok" >>"$report"
  printf '  %-22s %-5s %-40s status %s, %6.1f MiB, %s s, %s\n' "$opts" "$how" "$(basename "$f")" "$st" \
    "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')" "${t:-?}" "$ok" >&2
}

streaming() {
  local report=$OUT/streaming.md f froot fttfb o how stu
  # A run over 2 GB may take minutes on a busy machine.
  ((LIMIT_SET)) || LIMIT=600
  stu=$OUT/stueckeln
  if [[ ! -x $stu || $BENCH/stueckeln.cpp -nt $stu || $BENCH/zufall.h -nt $stu ]]; then g++ -O2 -std=c++17 -o "$stu" "$BENCH/stueckeln.cpp"; fi
  # The documents: records of RSIZE, and the same wrapped in one root; a small one for the first byte.
  gen_rec() {  # gen_rec SIZE [wrap] -> path
    local name=catalog-lf-$1-r$RSIZE-s$SEED${2:+-wrapped} a=(--kind catalog-lf --size "$1" --seed "$SEED" --record-size "$RSIZE")
    [[ -n ${2:-} ]] && a+=(--wrap)
    if [[ ! -s $DATA/$name.xml || $GEN -nt $DATA/$name.xml ]]; then
      "$GEN" "${a[@]}" -o "$DATA/$name.xml.tmp" && mv "$DATA/$name.xml.tmp" "$DATA/$name.xml"
    fi
    echo "$DATA/$name.xml"
  }
  echo "Generating documents ($SSIZE of records of $RSIZE, and wrapped in one root)" >&2
  f=$(gen_rec "$SSIZE")
  froot=$(gen_rec "$SSIZE" wrap)
  fttfb=$(gen_rec 10M)
  {
    echo "# brixfilter streaming: memory and time to the first byte"
    echo
    echo '```'
    environment
    echo "documents: $(basename "$f") ($(stat -c %s "$f") bytes, $(grep -c '^</book>' "$f") records), $(basename "$froot")"
    echo '```'
    echo
    echo "## Peak RSS (bound $((STREAM_RSS / 1024)) MiB)"
    echo
    echo "| options | document | input | status | peak RSS MiB | seconds | check |"
    echo "|---|---|---|---:|---:|---:|---|"
  } >"$report"
  echo "Peak RSS and time (bound $((STREAM_RSS / 1024)) MiB)" >&2
  for o in "${SOPTS[@]}"; do
    for how in pipe file; do stream_run "$how" "$o" "$f"; done
  done
  for o in -c -t; do
    for how in pipe file; do stream_run "$how" "$o" "$froot"; done
  done
  {
    echo
    echo "## Time to the first output byte"
    echo
    echo "The first record of $(basename "$fttfb") comes at once, the rest 2 s later. The output"
    echo "must begin within 1 s, and within a second after its first byte all that brixfilter"
    echo "writes for the first record alone (a file of just that record) must have come."
    echo
    echo "| options | first byte after ms | bytes in the next second | output of the first record | check |"
    echo "|---|---:|---:|---:|---|"
  } >>"$report"
  echo "Time to the first output byte (the rest of the document 2 s after the first record)" >&2
  local wf rf t0 n0 t1 n1 n soll d ok
  wf=$(mktemp) rf=$(mktemp)
  for o in "${TOPTS[@]}"; do
    set +e
    "$stu" --first-pause 2000 "$fttfb" 2>"$wf" | timeout "$LIMIT" "$BIN" $o | "$stu" --first-byte >"$rf"
    set -e
    read -r _ _ _ t0 n0 <"$wf" || true
    read -r t1 n1 n <"$rf" || true
    soll=$(head -c "${n0:-0}" "$fttfb" | "$BIN" $o | wc -c)
    if [[ $t0 =~ ^[0-9.]+$ && $t1 =~ ^[0-9.]+$ ]]; then
      d=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", (b - a) * 1000 }')
      ok=$(awk -v d="$d" -v n1="$n1" -v s="$soll" 'BEGIN { print (d < 1000 && n1 >= s ? "PASS" : "FAIL") }')
    else
      d=none ok=FAIL
    fi
    [[ $ok == PASS ]] || rc=1
    echo "| \`$o\` | $d | ${n1:-0} | $soll | $ok |" >>"$report"
    printf '  %-22s first byte after %s ms, %s bytes in the next second (first record alone: %s), %s\n' \
      "$o" "$d" "${n1:-0}" "$soll" "$ok" >&2
  done
  rm -f "$wf" "$rf"
  echo "Wrote $report" >&2
}

read -r load _ < /proc/loadavg
if awk -v l="$load" -v n="$(nproc)" 'BEGIN { exit !(l > n / 2) }'; then
  echo "Note: load average $load on $(nproc) cores; other work on the machine makes the timings noisy." >&2
fi

rc=0  # set by the reports: 1 when a check failed, 2 when a report could not be made
case $MODE in
  compare) compare ;;
  scaling) scaling ;;
  all) compare; scaling ;;
  hostile) hostile ;;
  huge) huge ;;
  streaming) streaming ;;
esac
if ((rc == 1 && STRICT == 0)); then rc=0; fi
exit "$rc"
