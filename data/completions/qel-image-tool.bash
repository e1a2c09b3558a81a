# bash completion for qel-image-tool: a picture file, or --help and --version.

_qel_image_tool() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  COMPREPLY=()
  # Only the first argument is read.
  ((COMP_CWORD == 1)) || return
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "--help --version" -- "$cur")
    return
  fi
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}

complete -F _qel_image_tool qel-image-tool
