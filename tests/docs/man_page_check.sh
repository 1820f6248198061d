#!/bin/sh
# Renders the man page as man(1) does and fails on any warning of the
# formatter; checks that its header carries the project's version.
# Usage: man_page_check.sh PAGE VERSION. Exits 77 (skipped) without man.
page=$1
version=$2
if ! command -v man >/dev/null 2>&1; then
  echo "skipped: man is not installed (Debian package man-db)"
  exit 77
fi
if ! grep -q "^\.TH .*\"cleanlogs $version\"" "$page"; then
  echo "the .TH line of $page does not name cleanlogs $version"
  exit 1
fi
warnings=$(MANROFFSEQ='' MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  printf '%s\n' "$warnings"
  exit 1
fi
if command -v groff >/dev/null 2>&1; then
  warnings=$(groff -ww -man -z -Tutf8 "$page" 2>&1)
  if [ -n "$warnings" ]; then
    printf '%s\n' "$warnings"
    exit 1
  fi
fi
echo "$page renders without warnings"
