#!/usr/bin/env bash
# Checks which folders of src/ each folder includes headers from, and fails on any other:
#   section folders (header tables stubs parents initializers): their own, driver/, host/
#   driver/: driver/, host/          host/: nothing of the project
#   kavc/ (the host model): kavc/, host/ (the option table is host/option_table.h)
# A section calls another section's writer through driver/sections.h, never its folder.
#
#   include_rules.sh SRC_DIR      check the tree
#   include_rules.sh --self-test  check that a planted violation is caught
set -euo pipefail

allowed() {  # allowed FOLDER INCLUDED_FOLDER
    case "$1" in
        header|tables|stubs|parents|initializers) [[ "$2" == "$1" || "$2" == driver || "$2" == host ]] ;;
        driver) [[ "$2" == driver || "$2" == host ]] ;;
        host) false ;;
        kavc) [[ "$2" == kavc || "$2" == host ]] ;;
        *) true ;;
    esac
}

check() {  # check SRC_DIR: prints each violation, fails when there is one
    local src=$1 bad=0 file folder included target
    while IFS= read -r file; do
        folder=${file#"$src"/}
        folder=${folder%%/*}
        while IFS= read -r included; do
            [[ "$included" == */* ]] || continue  # a header beside the file
            target=${included%%/*}
            if ! allowed "$folder" "$target"; then
                echo "${file#"$src"/}: includes \"$included\" (folder $folder may not include $target/)"
                bad=1
            fi
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
    done < <(find "$src" -mindepth 2 -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
    return $bad
}

if [[ "${1:-}" == --self-test ]]; then
    tree=$(mktemp -d)
    trap 'rm -rf "$tree"' EXIT
    mkdir -p "$tree/header" "$tree/tables"
    printf '#include "driver/state.h"\n#include "header/header.h"\n#include <string>\n' > "$tree/header/ok.cpp"
    check "$tree" >/dev/null || { echo "self-test: a clean tree was refused"; exit 1; }
    printf '#include "tables/method_row.h"\n' > "$tree/header/bad.cpp"
    if check "$tree" >/dev/null; then echo "self-test: a section including another section passed"; exit 1; fi
    echo "self-test: violation caught"
    exit 0
fi

check "${1:?usage: include_rules.sh SRC_DIR | --self-test}"
echo "include rules hold"
