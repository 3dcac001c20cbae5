#!/bin/sh
# Every relative link of the README and the guides in doc/ names a file of the
# source tree and, after '#', a heading of it (as GitHub makes anchors), so
# that moving text between guides cannot leave a link pointing nowhere.
#   doc_links_test.sh SOURCE_DIR
set -eu
cd "$1"
# The links of a Markdown file outside fenced code, one a line.
links() { awk '/^ *```/ { fenced = !fenced; next } !fenced' "$1" | grep -oE '\]\([^) ]+\)' | sed -E 's/^\]\((.*)\)$/\1/'; }
anchors() {
  awk '/^ *```/ { fenced = !fenced; next } !fenced && /^#+ /' "$1" |
    sed -E 's/^#+ +//' | tr 'A-Z' 'a-z' | sed -E 's/[^a-z0-9 _-]//g; s/ /-/g'
}
status=0
for md in README.md doc/*.md; do
  for link in $(links "$md"); do
    case $link in http://* | https://* | mailto:*) continue ;; esac
    file=${link%%#*}
    target=$md
    [ -n "$file" ] && target=$(dirname "$md")/$file
    if [ ! -e "$target" ]; then
      echo "$md: $link: no such file"; status=1; continue
    fi
    case $link in
      *#*) anchors "$target" | grep -qxF "${link#*#}" || { echo "$md: $link: no such heading"; status=1; } ;;
    esac
  done
done
exit $status
