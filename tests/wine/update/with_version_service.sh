#!/usr/bin/env bash
# with_version_service.sh PROGRAM.exe [ARGS...]
#
# Runs a Windows test program under Wine with the loopback version service
# (version_service.py, beside this script) listening on a free port of 127.0.0.1. The
# program learns the service from two environment variables:
#   VERSION_SERVICE_PORT  the port
#   VERSION_SERVICE_DIR   the service's folder (scenario.json, requests.jsonl), as a
#                         Windows path
# The service is stopped when the program ends. When VERSION_SERVICE_PORT is already
# set, the service listens on that port (for programs built with a fixed service
# address).
set -euo pipefail

program=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
service=
cleanup() {
  if [ -n "$service" ]; then
    kill "$service" 2>/dev/null || true
    wait "$service" 2>/dev/null || true
  fi
  rm -rf "$dir"
}
trap cleanup EXIT

python3 "$here/version_service.py" --dir "$dir" --port "${VERSION_SERVICE_PORT:-0}" &
service=$!
for _ in $(seq 300); do
  [ -s "$dir/port" ] && break
  kill -0 "$service" 2>/dev/null || { echo "version service failed to start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$dir/port" ] || { echo "version service did not report its port" >&2; exit 1; }

export VERSION_SERVICE_PORT
VERSION_SERVICE_PORT=$(cat "$dir/port")
export VERSION_SERVICE_DIR="Z:${dir//\//\\}"
wine "$program" "$@"
