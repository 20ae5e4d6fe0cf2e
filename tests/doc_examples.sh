#!/bin/sh
# SPDX-License-Identifier: MIT
# Compiles every C and C++ example of the documentation against the library,
# and runs each that is a whole program on a sample file: no example can rot.
#
#   doc_examples.sh WORKDIR INCLUDE LIBDIR SAMPLE CC CXX DOC...
#
# A fenced block opened with ```c or ```cpp is an example; a program (one
# with main) is linked and run with SAMPLE as its argument and must exit 0;
# any other is compiled alone (-c).
set -eu
work=$1 include=$2 libdir=$3 sample=$4 cc=$5 cxx=$6
shift 6
mkdir -p "$work"
rm -f "$work"/example-*
for doc in "$@"; do
    awk -v out="$work/example-$(basename "$doc" .md)-" '
        /^```(c|cpp)$/ { n++; lang = substr($0, 4); file = out n "." lang; next }
        /^```/ { file = ""; next }
        file != "" { print > file }
    ' "$doc"
done
status=0
for src in "$work"/example-*; do
    [ -e "$src" ] || continue
    case $src in
        *.c) compiler="$cc -std=c99" ;;
        *) compiler="$cxx -std=c++17" ;;
    esac
    if grep -q 'int main(' "$src"; then
        # shellcheck disable=SC2086 # the compiler command and its options
        if $compiler -Wall -Wextra -Werror -I"$include" "$src" -L"$libdir" -lkelid3 \
            -Wl,-rpath,"$libdir" -o "$src.exe" && "$src.exe" "$sample" >"$src.out"; then
            echo "ran: $src"
        else
            echo "FAILED: $src" >&2
            status=1
        fi
    elif ! $compiler -Wall -Wextra -Werror -I"$include" -c "$src" -o "$src.o"; then
        echo "FAILED: $src" >&2
        status=1
    else
        echo "compiled: $src"
    fi
done
exit $status
