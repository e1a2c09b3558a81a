#!/usr/bin/env bash
# The shell completions and the manual pages against the programs' own help: every
# option that --help names is offered by the bash, zsh and fish completions and
# described in the manual page, and so are qel-convert's filters and the extensions it
# writes. The bash and fish completions are asked as a shell would ask them; zsh and
# fish parse their files.
# Usage: completion_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
top=$(cd "$(dirname "$0")/../.." && pwd)
completions=$top/data/completions
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
check() { # check DESCRIPTION COMMAND...: counts the command's outcome
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "completion_test: FAIL: $what" >&2
  fi
}
# contains WORD LIST...: whether WORD is one of the LIST.
contains() {
  local word=$1 item
  shift
  for item in "$@"; do [[ $item == "$word" ]] && return 0; done
  return 1
}
for shell in zsh fish; do
  command -v "$shell" >/dev/null || { echo "completion_test: $shell is not installed; scripts/install-deps.sh --test installs it" >&2; exit 77; }
done

# What bash offers for the words given, the last being the one completed, from FOLDER.
bash_offers() { # bash_offers SCRIPT FUNCTION FOLDER WORD...
  local script=$1 function=$2 folder=$3
  shift 3
  (cd "$folder" && bash -c 'source "$1"; shift; f=$1; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    "$f"; [[ ${#COMPREPLY[@]} -eq 0 ]] || printf "%s\n" "${COMPREPLY[@]}"' bash "$script" "$function" "$@" 2>/dev/null)
}
# What fish offers for the command line, without the descriptions.
fish_offers() { # fish_offers SCRIPT COMMAND_LINE
  fish --no-config -c "source $(printf %q "$1"); complete -C$(printf %q "$2")" | cut -f1
}
# The manual page as text, without hyphenation or justification.
man_text() {
  MANWIDTH=200 man -l "$1" 2>/dev/null | col -b
}

for program in qel-convert qel-image-tool; do
  tool=$build/$program
  [[ -x $tool ]] || { echo "completion_test: $program was not built, left out"; continue; }
  function=_${program//-/_}
  check "$program: zsh reads its completion" zsh -n "$completions/_$program"
  check "$program: fish reads its completion" fish --no-execute "$completions/$program.fish"
  check "$program: bash reads its completion" bash -n "$completions/$program.bash"

  help=$("$tool" --help)
  # The options of the usage lines, and those that begin a line of the option list.
  mapfile -t options < <({
    sed -n '/^Usage:/,/^$/p' <<<"$help" | grep -oE '[ [|]--?[a-z][a-z0-9-]*' | cut -c2-
    grep -E '^ +-' <<<"$help" | grep -oE '^ +--?[a-z][a-z0-9-]*( [^ ,]+)?(, --?[a-z][a-z0-9-]*)?' |
      grep -oE -- '--?[a-z][a-z0-9-]*'
  } | sort -u)
  check "$program: --help names options" test "${#options[@]}" -ge 2
  mapfile -t bash_options < <(bash_offers "$completions/$program.bash" "$function" "$work" "$program" -)
  mapfile -t fish_options < <(fish_offers "$completions/$program.fish" "$program -")
  page=$(man_text "$build/data/$program.1")
  zsh_text=$(cat "$completions/_$program")
  for option in "${options[@]}"; do
    check "$program: bash offers $option" contains "$option" "${bash_options[@]}"
    check "$program: fish offers $option" contains "$option" "${fish_options[@]}"
    check "$program: zsh offers $option" grep -qE -- "[^a-z-]$option[[},]" <<<"$zsh_text"
    check "$program: the manual page describes $option" grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" <<<"$page"
  done

  # A picture file is completed as a file, its name's blank included.
  mkdir -p "$work/in folder"
  : >"$work/in folder/a picture.png"
  mapfile -t offered < <(bash_offers "$completions/$program.bash" "$function" "$work" "$program" "in folder/a")
  check "$program: bash completes a file name" contains "in folder/a picture.png" "${offered[@]}"
done

if [[ -x $build/qel-convert ]]; then
  help=$("$build/qel-convert" --help)
  # The extensions written, from the line after "chooses the format:".
  mapfile -t extensions < <(grep -A1 'chooses the format:' <<<"$help" | tail -n 1 | grep -oE '\.[a-z0-9]+' | tr -d .)
  # The filter names, between --filter and "their numbers".
  mapfile -t filters < <(sed -n '/--filter/,/their numbers/p' <<<"$help" |
    grep -oE '\b[A-Z][A-Za-z0-9]*[a-z][A-Za-z0-9]*\b')
  check "qel-convert: eight formats written" test "${#extensions[@]}" -ge 8
  check "qel-convert: seven filters" test "${#filters[@]}" -eq 7
  script=$completions/qel-convert.bash
  mapfile -t bash_to < <(bash_offers "$script" _qel_convert "$work" qel-convert --to "")
  mapfile -t fish_to < <(fish_offers "$completions/qel-convert.fish" "qel-convert --to ")
  mapfile -t bash_filters < <(bash_offers "$script" _qel_convert "$work" qel-convert --filter "")
  mapfile -t fish_filters < <(fish_offers "$completions/qel-convert.fish" "qel-convert --filter ")
  page=$(man_text "$build/data/qel-convert.1")
  for extension in "${extensions[@]}"; do
    check "bash offers --to $extension" contains "$extension" "${bash_to[@]}"
    check "fish offers --to $extension" contains "$extension" "${fish_to[@]}"
    check "zsh offers --to $extension" grep -qE "^extensions=\(.*\b$extension\b" "$completions/_qel-convert"
    check "the manual page names .$extension" grep -qF ".$extension" <<<"$page"
  done
  check "bash offers nothing else after --to" test "${#bash_to[@]}" -eq "${#extensions[@]}"
  for filter in "${filters[@]}"; do
    check "bash offers --filter $filter" contains "$filter" "${bash_filters[@]}"
    check "fish offers --filter $filter" contains "$filter" "${fish_filters[@]}"
    check "zsh offers --filter $filter" grep -qE "^filters=\(.*\b$filter\b" "$completions/_qel-convert"
    check "the manual page names the filter $filter" grep -qw "$filter" <<<"$page"
  done
  # After -o only folders, after "--" every file again.
  mapfile -t offered < <(bash_offers "$script" _qel_convert "$work" qel-convert -o "in")
  check "bash offers folders after -o" test "${offered[*]}" = "in folder"
  mapfile -t offered < <(bash_offers "$script" _qel_convert "$work" qel-convert -- "-")
  check "bash offers no option after --" test "${#offered[@]}" -eq 0
fi

echo "completion_test: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
