# Sourced by the scripts that make a Debian root (scripts/ci-in-debootstrap.sh,
# tests/e2e/installed_deb.sh). apt_mirror SUITE prints the archive address this machine's own
# apt sources use for SUITE (deb822 files in /etc/apt/sources.list.d/*.sources first, then
# one-line entries in /etc/apt/sources.list and sources.list.d/*.list); MIRROR=URL, when set,
# wins. Fails with a message when no source names the suite.
apt_mirror() {
  local suite=$1 found=""
  if [ -n "${MIRROR:-}" ]; then
    printf '%s\n' "$MIRROR"
    return 0
  fi
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # One stanza per paragraph: a "deb" stanza whose Suites hold the suite gives its first URI.
    found=$(awk -v suite="$suite" '
      function done_stanza() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && uri != "" && !out)
          out = uri
        types = ""; suites = ""; uri = ""
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { done_stanza(); next }
      tolower($1) == "types:" { $1 = ""; types = $0; sub(/^ +/, "", types) }
      tolower($1) == "suites:" { $1 = ""; suites = $0; sub(/^ +/, "", suites) }
      tolower($1) == "uris:" { uri = $2 }
      tolower($1) == "enabled:" && tolower($2) == "no" { types = "" }
      END { done_stanza(); if (out) print out }' "$f")
    [ -n "$found" ] && break
  done
  if [ -z "$found" ]; then
    local lists=()
    [ -f /etc/apt/sources.list ] && lists+=(/etc/apt/sources.list)
    for f in /etc/apt/sources.list.d/*.list; do [ -f "$f" ] && lists+=("$f"); done
    if [ "${#lists[@]}" -gt 0 ]; then
      # deb [options] URI SUITE COMPONENTS...
      found=$(sed -e 's/#.*//' -e 's/\[[^]]*\]//' "${lists[@]}" |
        awk -v suite="$suite" '$1 == "deb" && $3 == suite { print $2; exit }')
    fi
  fi
  if [ -z "$found" ]; then
    echo "no apt source of this machine names $suite; set MIRROR=URL" >&2
    return 1
  fi
  printf '%s\n' "$found"
}
