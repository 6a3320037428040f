# bash completion for tersolite. The flags come from `tersolite --help`, so
# they never fall out of step with the tool.
_tersolite() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  case $prev in
    --format | --input-format) mapfile -t COMPREPLY < <(compgen -W "auto json yaml" -- "$cur"); return ;;
    --strategy) mapfile -t COMPREPLY < <(compgen -W "sample condense" -- "$cur"); return ;;
    --scorer) mapfile -t COMPREPLY < <(compgen -W "heuristic compact key_order" -- "$cur"); return ;;
    -o | --output) mapfile -t COMPREPLY < <(compgen -f -- "$cur"); return ;;
    -m | --max-chars | --indent | -j | --jobs | --protect | --query | --options | --string-*-chars | \
      --max-samples | --min-partial-chars) return ;;
  esac
  if [[ $cur == -* ]]; then
    local flags
    flags=$("${COMP_WORDS[0]}" --help 2>/dev/null | grep -oE '^ +(-[a-zA-Z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+')
    mapfile -t COMPREPLY < <(compgen -W "$flags" -- "$cur")
  else
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  fi
}
complete -o filenames -F _tersolite tersolite
