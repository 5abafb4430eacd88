#!/usr/bin/env bash
# The library's folders depend downward only. Each folder of src/ may include
# the folders listed before it in src/layers.txt and itself, never one listed
# after it; the emulated machine is no layer of the library at all.
# docs/architecture.md explains the layers.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t layers < <(grep -E '^[a-z_]+$' src/layers.txt)

status=0
for ((i = 0; i < ${#layers[@]}; i++)); do
    folder=${layers[$i]}
    allowed=("${layers[@]:0:$((i + 1))}")
    while IFS=: read -r file include; do
        used=${include%%/*}
        if [[ " ${allowed[*]} " != *" $used "* ]]; then
            echo "$file includes $include: src/$folder may not use src/$used" >&2
            status=1
        fi
    done < <(grep -rHoE '#include "[a-z_]+/[^"]+"' "src/$folder" | sed 's/#include "//; s/"$//')
done
for folder in src/*/; do
    name=$(basename "$folder")
    if [[ " ${layers[*]} " != *" $name "* ]]; then
        echo "src/$name is in no layer: add it to src/layers.txt" >&2
        status=1
    fi
done
exit $status
