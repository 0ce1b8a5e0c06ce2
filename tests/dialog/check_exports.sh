#!/bin/sh
# Fails unless the library's dynamic symbol table defines gwSsDGH and no
# other function or object.
set -eu
library="$1"
defined=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TtWwDdBbRrVviu]$/ { print $3 }' | sort)
echo "defined: $defined"
[ "$defined" = "gwSsDGH" ]
