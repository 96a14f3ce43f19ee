#!/usr/bin/env bash
# check-manpage.sh PROGRAM PAGE: every option the program's --help lists is described in the
# manual page's OPTIONS section, and every option described there is one --help lists, so
# neither can drift from the other unnoticed. Exit status 1 names each option missing.
set -euo pipefail
program=$1
page=$2

# Options are "/LETTERS" switches and "--words"; paths such as ~/.local/share never match.
options() {
  grep -oP '(?<![\w/.~$-])(/[A-Z]{1,2}|--[a-z][a-z-]*)(?![\w/])' | sort -u
}

help_options=$("$program" --help | options)
# The OPTIONS section of the troff source, its escapes and font changes taken out.
page_options=$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$page" |
  sed -e 's/\\f[BIRP]//g' -e 's/\\-/-/g' | options)

status=0
only_help=$(comm -23 <(echo "$help_options") <(echo "$page_options"))
only_page=$(comm -13 <(echo "$help_options") <(echo "$page_options"))
if [[ -n "$only_help" ]]; then
  echo "$page does not describe: $(echo $only_help)" >&2
  status=1
fi
if [[ -n "$only_page" ]]; then
  echo "$program --help does not list: $(echo $only_page)" >&2
  status=1
fi
exit "$status"
