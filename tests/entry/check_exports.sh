#!/bin/sh
# Fails unless the library exports gwSsDGH and no other function or object.
# nm marks symbols that other objects can bind to with an upper-case type, or
# u (unique global), v and w (weak); a lower-case t, d, b or r is a local
# symbol that the linker only left in the table, which nobody can bind to.
set -eu
library="$1"
exported=$(nm -D --defined-only "$library" | awk '$2 ~ /^([A-Z]|u|v|w)$/ { print $3 }' | sort)
echo "exported: $exported"
[ "$exported" = "gwSsDGH" ]
