#!/usr/bin/env bash
# The exporter's files as their own tools read them: the example Prometheus configuration and
# alert rules (promtool, with the rules' unit tests), and the systemd unit (systemd-analyze
# verify, pointed at the kz-orba-cli under test). Any warning fails. Skips (77) where a tool is
# missing.
# Usage: exporter_files_test.sh SOURCE_DIR KZ_ORBA_CLI
set -euo pipefail
src=$1
cli=$2
status=0
ran=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if command -v promtool >/dev/null; then
  ran=1
  examples=$src/examples/prometheus
  promtool check config "$examples/prometheus.yml" || status=1
  promtool check rules "$examples/kz-orba-alerts.yml" || status=1
  (cd "$examples" && promtool test rules kz-orba-alerts.test.yml) || status=1
else
  echo "promtool is missing: the Prometheus files are not checked"
fi

if command -v systemd-analyze >/dev/null; then
  ran=1
  # The unit as installed, with the kz-orba-cli under test in place of /usr/bin's, so that the
  # command it runs is checked too. Documentation names a manual page the build tree lacks.
  sed "s#/usr/bin/kz-orba-cli#$cli#" "$src/packaging/kz-orba-exporter.service" \
    > "$tmp/kz-orba-exporter.service"
  if ! systemd-analyze verify --man=no "$tmp/kz-orba-exporter.service" 2> "$tmp/verify.err"; then
    status=1
  fi
  if [ -s "$tmp/verify.err" ]; then
    echo "systemd-analyze verify complains:"
    cat "$tmp/verify.err"
    status=1
  fi
  # Its command line is one kz-orba-cli takes: run it on a free port with a ports file of its own
  # until it says where it serves.
  exec_start=$(sed -n 's/^ExecStart=//p' "$src/packaging/kz-orba-exporter.service")
  read -r -a words <<< "$exec_start"
  words=("${words[@]:1}")
  for i in "${!words[@]}"; do
    case "${words[$i]}" in
      /etc/kz-orba/receivers.txt) words[$i]=$tmp/receivers.txt ;;
      127.0.0.1:9731) words[$i]=127.0.0.1:0 ;;
    esac
  done
  echo "room-1 = tcp://127.0.0.1:9" > "$tmp/receivers.txt"
  "$cli" "${words[@]}" > "$tmp/serve.out" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    grep -q "serving" "$tmp/serve.out" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! grep -q "serving 1 receivers on http://127.0.0.1:" "$tmp/serve.out"; then
    echo "the unit's command does not serve:"
    cat "$tmp/serve.out"
    status=1
  fi
  kill -TERM "$pid" 2>/dev/null || true
  if ! wait "$pid"; then
    echo "the exporter did not end cleanly on SIGTERM"
    status=1
  fi
else
  echo "systemd-analyze is missing: the unit is not checked"
fi

if [ "$ran" = 0 ]; then
  exit 77
fi
exit $status
