#!/bin/sh
# Makes a manual page from a program's --help and --version with help2man. The line of --help
# that names the folder in use on this machine (the build tree) becomes the rule that an
# installed copy follows. INCLUDE (help2man's include format) adds the sections that --help
# does not hold: ENVIRONMENT, FILES, SEE ALSO.
# Usage: make_man.sh PROGRAM NAME VERSION OUT [INCLUDE]
set -eu
program=$1 name=$2 version=$3 out=$4 include=${5:-}
QT_QPA_PLATFORM=offscreen help2man --no-info --no-discard-stderr --section=1 --name="$name" \
    --version-string="$version" ${include:+--include="$include"} --output="$out.tmp" "$program"
sed -e 's|^files: .*|The settings, option\\-list and picture files are read and written in the folder given with \\fB\\-\\-config\\-dir\\fR; without it, in the executable'"'"'s folder when that holds KZ_ORBA_CTRL.ini (a portable copy), otherwise in \\fI~/.config/kz\\-orba\\-ctrl/\\fR, where files that are missing are copied from \\fI/usr/share/kz\\-orba\\-ctrl/\\fR at the start.|' \
    "$out.tmp" >"$out"
rm -f "$out.tmp"
