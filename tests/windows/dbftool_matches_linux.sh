#!/bin/sh
# dbftool_matches_linux.sh WINE-RUN PREFIX DBFTOOL.EXE LINUX-DBFTOOL CORPUS
# dbftool.exe under Wine against the Linux dbftool, each on its own copies of
# the published tables and of a sample course database: check, dump, keys and
# reindex print the same bytes (Windows line ends aside: CR LF for LF) with
# the same exit code, and reindex leaves the same files.
set -u
wine_run=$1 prefix=$2 exe=$3 linux=$4 corpus=$5
if [ ! -d "$corpus/northwind" ]; then
  echo "corpus missing: $corpus"
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$linux" make-sample "$work/sample" >/dev/null || exit 1
n=0
for dbf in "$corpus"/*/*.dbf "$work"/sample/*.dbf; do
  n=$((n + 1))
  for side in linux windows; do
    mkdir -p "$work/$side/$n"
    cp "${dbf%.dbf}".* "$work/$side/$n/"
  done
done

failed=0
# The same command in the same folder of both copies.
both() {
  folder=$1
  shift
  (cd "$work/linux/$folder" && "$linux" "$@") >"$work/linux.out" 2>&1
  linux_exit=$?
  (cd "$work/windows/$folder" && "$wine_run" "$prefix" "$exe" "$@") >"$work/windows.out" 2>&1
  windows_exit=$?
  # Under load a Wine start now and then fails silently (exit 1, not a word
  # from the program); such a start is made once more, and told.
  if [ $windows_exit -ne 0 ] && [ ! -s "$work/windows.out" ]; then
    echo "dbftool $* in copy $folder: Wine started nothing (exit $windows_exit); once more"
    (cd "$work/windows/$folder" && "$wine_run" "$prefix" "$exe" "$@") >"$work/windows.out" 2>&1
    windows_exit=$?
  fi
  sed 's/$/\r/' "$work/linux.out" >"$work/expected.out"
  if [ $linux_exit -ne $windows_exit ] || ! cmp -s "$work/expected.out" "$work/windows.out"; then
    echo "dbftool $* in copy $folder: exit $linux_exit on Linux, $windows_exit under Wine"
    diff "$work/expected.out" "$work/windows.out" | tail -5
    failed=1
  fi
}

commands=0
for folder in $(ls "$work/linux"); do
  for dbf in "$work/linux/$folder"/*.dbf; do
    table=$(basename "$dbf")
    for command in check dump keys reindex; do
      both "$folder" $command "$table"
      commands=$((commands + 1))
    done
  done
  for file in "$work/linux/$folder"/*; do
    cmp -s "$file" "$work/windows/$folder/$(basename "$file")" || { echo "after reindex: $file differs"; failed=1; }
  done
done
echo "$commands commands on $n tables"
exit $failed
