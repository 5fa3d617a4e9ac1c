#!/bin/sh
# Runs inside qor-sandbox: a real SMTP server on 127.0.0.1:25 (the sink script)
# takes every mail while COMMAND runs; the mails land in $QOR_SANDBOX_DIR/smtp,
# exported as QOR_SMTP_SINK_DIR. The sandbox ends the server with COMMAND.
#
#   with_smtp_sink.sh SINK_SCRIPT -- COMMAND...
set -eu
sink=$1
shift
[ "${1:-}" = "--" ] && shift
[ -n "${QOR_SANDBOX_DIR:-}" ] || { echo "with_smtp_sink.sh: not inside qor-sandbox" >&2; exit 2; }
dir=$QOR_SANDBOX_DIR/smtp
"$sink" "$dir" >"$QOR_SANDBOX_DIR/smtp.log" 2>&1 &
i=0
while [ ! -e "$dir/ready" ]; do
    i=$((i + 1))
    [ $i -le 300 ] || { echo "with_smtp_sink.sh: the SMTP sink did not start" >&2; exit 1; }
    sleep 0.1
done
export QOR_SMTP_SINK_DIR="$dir"
exec "$@"
