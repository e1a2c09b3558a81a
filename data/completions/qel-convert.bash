# bash completion for qel-convert: its options, the values of those that take a word
# from a fixed list, folders after -o and files elsewhere.

_qel_convert() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=""
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  local options="--help --version --info --formats --reader --overwrite --quality --lossless
    -o --output-dir --to -j --jobs --resize --filter --sharpen-after-resize --rotate-right
    --rotate-left --lighten --darken --contrast-up --contrast-down --sharpen --antialias
    --gray --sepia --draw-border --add-border --frame-color --line-color --border-width
    --crop --"
  local i
  # After "--" every word is a file name.
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ ${COMP_WORDS[i]} == -- ]]; then
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return
    fi
  done
  case $prev in
    --filter)
      mapfile -t COMPREPLY < <(compgen -W "Box Triangle Hermite Bell BSpline Lanczos3 Mitchell" -- "$cur")
      return
      ;;
    --to)
      mapfile -t COMPREPLY < <(compgen -W "bmp jp2 tga jpg jpeg jpe jfif png gif emf webp" -- "$cur")
      return
      ;;
    --reader)
      mapfile -t COMPREPLY < <(compgen -W "import" -- "$cur")
      return
      ;;
    -o | --output-dir)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      return
      ;;
    --resize | --quality | -j | --jobs | --frame-color | --line-color | --border-width | --crop)
      # A number, a size or a colour: nothing to offer.
      COMPREPLY=()
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return
  fi
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}

complete -F _qel_convert qel-convert
