#!/bin/sh
# promtool on the example Prometheus files: the alert rules, the configuration that loads them, and
# the rules' unit test (alerts_test.yml). Skips (77) where promtool is not installed.
set -e
if ! command -v promtool >/dev/null 2>&1; then
  echo "SKIP: promtool is missing; install Debian's prometheus package (scripts/install-deps.sh)"
  exit 77
fi
cd "$1"
promtool check rules packaging/prometheus/qor-online-status-alerts.yml
promtool check config packaging/prometheus/prometheus.yml
cd tests/packaging
promtool test rules alerts_test.yml
