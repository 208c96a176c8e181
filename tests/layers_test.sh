#!/bin/sh
# The folders form layers: each may include only the folders below it, so a
# change to a lower one never needs a higher one, and no cycle can form.
# Prints every include that runs the wrong way and fails if there is one.
# Usage: layers_test.sh SOURCE_DIR
src="$1"
allowed() {  # FOLDER: the folders FOLDER may include besides itself
  case "$1" in
    common) echo "" ;;
    registry) echo "common" ;;
    print | host | probes) echo "common registry" ;;
    inf) echo "common registry print" ;;
    catalog) echo "common registry print inf host" ;;
    generation) echo "common registry print inf host catalog" ;;
    cli | ui) echo "common registry print inf host catalog generation probes" ;;
    *) echo "?" ;;
  esac
}
status=0
for dir in common registry print inf host probes catalog generation cli ui; do
  [ -d "$src/$dir" ] || continue
  ok=" $dir $(allowed "$dir") "
  for file in "$src/$dir"/*.cpp "$src/$dir"/*.h; do
    [ -f "$file" ] || continue
    for used in $(sed -n 's|^#include "\([a-z]*\)/.*|\1|p' "$file" | sort -u); do
      case "$ok" in
        *" $used "*) ;;
        *)
          echo "${file#"$src"/} includes $used/: $dir may include only$(allowed "$dir" | sed 's/^/ /; s/^ $/ itself/')"
          status=1
          ;;
      esac
    done
  done
done
[ "$status" -eq 0 ] && echo "every include runs downwards"
exit "$status"
