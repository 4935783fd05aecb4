#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and runs each for the given number of seconds
# (default 30), starting from the committed seed corpus. Findings land in build-fuzz/funde/.
# A long run: bash scripts/fuzz.sh 600
# Only some targets (named without fuzz_), one after the other: bash scripts/fuzz.sh 600 kommentare tags
set -euo pipefail
cd "$(dirname "$0")/.."
sekunden=${1:-30}
shift $(($# > 0 ? 1 : 0))
pakete=(clang libclang-rt-14-dev cmake make)
fehlt=()
for p in "${pakete[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || fehlt+=("$p")
done
if ((${#fehlt[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${fehlt[@]}"
fi
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIX_TESTS=OFF -DBRIX_FUZZ=ON -DBRIX_WERROR=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)"
mkdir -p build-fuzz/funde
status=0
ziele=()
if (($#)); then
  for kind in "$@"; do ziele+=("build-fuzz/tests/fuzz/fuzz_$kind"); done
else
  ziele=(build-fuzz/tests/fuzz/fuzz_*)
fi
for ziel in "${ziele[@]}"; do
  [[ -x $ziel ]] || { echo "FEHLER: kein Fuzz-Ziel $ziel"; status=1; continue; }
  name=$(basename "$ziel")
  kind=${name#fuzz_}
  case $kind in kommentare|tags|leer|liste|ueberspringe|ersetze) korpus=filter ;; *) korpus=$kind ;; esac
  arbeit=build-fuzz/korpus/$kind
  mkdir -p "$arbeit"
  cp -n tests/fuzz/corpus/"$korpus"/* "$arbeit"/ 2>/dev/null || true
  echo "== $name: $sekunden s"
  if ! "$ziel" -max_total_time="$sekunden" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix=build-fuzz/funde/"$kind"- -print_final_stats=1 "$arbeit" 2>build-fuzz/"$kind".log; then
    echo "FEHLER: $name hat etwas gefunden, siehe build-fuzz/$kind.log und build-fuzz/funde/"
    tail -n 40 build-fuzz/"$kind".log
    status=1
  else
    grep -E 'stat::number_of_executed_units|cov:' build-fuzz/"$kind".log | tail -n 2
  fi
done
exit $status
