#!/bin/sh
# SPDX-License-Identifier: MIT
# Writes the package's changelog in Debian's format to standard output: one
# entry for VERSION whose items are the project's commit subjects, newest
# first, dated at the newest commit (so that a build is repeatable). Outside a
# git checkout (a source archive) the entry says so.
# Usage: changelog-from-git.sh SOURCE_DIR VERSION "NAME <EMAIL>"
set -eu
source_dir=$1 version=$2 maintainer=$3

export LC_ALL=C
date_format='%a, %d %b %Y %H:%M:%S %z'
if subjects=$(git -C "$source_dir" log --no-merges --format=%s 2>/dev/null) &&
    [ -n "$subjects" ]; then
    date=$(git -C "$source_dir" log -1 --format=%cd --date=format:"$date_format")
else
    subjects="Built from a source archive without the project's history."
    date=$(date -u -d "@${SOURCE_DATE_EPOCH:-$(date +%s)}" +"$date_format")
fi

echo "dmmlogger ($version) unstable; urgency=medium"
echo
# Each subject as an item, wrapped to Debian's 80 columns.
printf '%s\n' "$subjects" | while IFS= read -r subject; do
    printf '%s\n' "$subject" | fold -s -w 74 | sed 's/ *$//; 1s/^/  * /; 1!s/^/    /'
done
echo
echo " -- $maintainer  $date"
