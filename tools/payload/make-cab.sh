#!/usr/bin/env bash
# make-cab.sh <7-Zip> <password> <archive> <folder>
# Packs everything inside <folder> into the 7z archive <archive>, contents and
# names encrypted with <password>. The password travels as one argument,
# never through a shell.
set -euo pipefail
sevenzip=$1
password=$2
archive=$3
folder=$4
temp="$archive.part"
rm -f -- "$temp"
cd -- "$folder"
# "*" is 7-Zip's wildcard, quoted from the shell: every entry, with sub-folders.
"$sevenzip" a -t7z -mx9 -mhe=on -y -bd "-p$password" -- "$temp" '*' >/dev/null
mv -f -- "$temp" "$archive"
