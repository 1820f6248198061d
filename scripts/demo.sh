#!/usr/bin/env bash
# Lays out a demo installation (bin/ beside log/) in a temporary directory,
# with logs of several ages, runs cleanlogs there as a scheduler would, and
# shows the report and what was left.
set -euo pipefail

binary=$(realpath "${1:-build/default/cleanlogs}")
root=$(mktemp -d /tmp/cleanlogs-demo.XXXXXX)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/bin" "$root/log"
cd "$root/log"

make_log() {  # name, age in days, content
  printf '%s\n' "$3" > "$1"
  touch -d "@$(( $(date +%s) - $2 * 86400 ))" "$1"
}
make_log httpd_access.log 0 'GET / 200'
make_log httpd_error.log 0 'no errors'
make_log httpd_relay.log 0 'relay up'
make_log httpd_access_20261101.log 40 'GET /old 200'
make_log app.log 0 'started'
make_log app.log.1 3 'three days old'
make_log app.log.2 9 'nine days old'
make_log APP.LOG.3 12 'twelve days old, upper case'
make_log 19990101T000000Z-0.Tarnwick.log 30 'a report of an earlier run'
make_log notes.txt 100 'not a log: never touched'

# The web-server logs were created yesterday: record that as the tool's own
# fresh-log step records a creation time, so that this run rotates them.
yesterday_ticks=$(( ($(date +%s) - 86400 + 11644473600) * 10000000 ))
for log in httpd_access.log httpd_error.log httpd_relay.log; do
  python3 -c 'import os, sys; os.setxattr(sys.argv[1], "user.cleanlogs.created", sys.argv[2].encode())' \
    "$log" "$yesterday_ticks" 2>/dev/null || echo "(cannot record a creation time on $log: it will not be rotated)"
done

echo "== log/ before the run"
ls -l --time-style=+%F "$root/log" | tail -n +2
echo
echo "== cd bin && cleanlogs 7 true"
cd "$root/bin"
set +e
"$binary" 7 true
status=$?
set -e
echo "exit status: $status"
echo
echo "== the report"
cat "$root"/log/*Tarnwick.log
echo "== log/ after the run"
ls -l --time-style=+%F "$root/log" | tail -n +2
