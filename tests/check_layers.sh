#!/usr/bin/env bash
# The folders' libraries are layered: each folder includes headers only of itself and of the
# folders this table allows. An include up the layers fails here before it becomes a link cycle.
cd "$(dirname "$0")/.." || exit 2
declare -A allowed=(
  [platform]="platform" [resources]="resources platform" [ui]="ui resources platform"
  [skin]="skin ui resources platform" [gps]="gps platform" [clock]="clock skin ui resources platform"
  [app]="app clock gps skin ui resources platform")
status=0
for folder in "${!allowed[@]}"; do
  while IFS= read -r line; do
    used=${line#*#include \"}; used=${used%%/*}
    [[ " ${allowed[$folder]} " == *" $used "* ]] && continue
    echo "layer violation: $line"; status=1
  done < <(grep -rnE '^#include "[a-z_-]+/' "$folder" --include='*.h' --include='*.cpp')
done
[ $status -eq 0 ] && echo "every include goes down the layers"
exit $status
