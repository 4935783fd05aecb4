#!/usr/bin/env bash
# Installs what the build and the tests need, when it is missing (Debian 12, as root).
set -euo pipefail
# parallel and rsync: the tests run the README's ways of editing many files with GNU parallel.
pakete=(cmake g++ make libgtest-dev parallel rsync)
fehlt=()
for p in "${pakete[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || fehlt+=("$p")
done
if ((${#fehlt[@]})); then
  echo "Installiere: ${fehlt[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${fehlt[@]}"
fi
