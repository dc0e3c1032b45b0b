#!/usr/bin/env bash
# The core calls no transcendental function: every replay must re-simulate
# alike whatever C library (and sin/cos variant) the machine has. sqrt and
# the four operations are exact in IEEE 754 and allowed.
set -u
archive="$*"
symbols=$(nm -u --format=posix "$@" | awk 'NF >= 2 && $2 == "U" {print $1}' | sort -u)
if [ -z "$symbols" ]; then
  echo "no undefined symbols read from $archive: cannot check"; exit 1
fi
maths='^_*(a?(sin|cos|tan)h?|atan2|sincos|exp(2|10|m1)?|log(2|10|1p|b)?|pow|cbrt|hypot|erfc?|[lt]gamma)(f|l)?(_finite)?$'
found=$(printf '%s\n' "$symbols" | grep -E "$maths")
if [ -n "$found" ]; then
  echo "the core calls maths library functions:"; printf '  %s\n' $found; exit 1
fi
echo "core: $(printf '%s\n' "$symbols" | wc -l) undefined symbols, none transcendental"
