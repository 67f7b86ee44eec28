#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need
# (clang and its runtime for the fuzz targets and the sanitizer reports).
# Every package is named: installs run without recommended packages, and
# Qt's UiTools needs the OpenGL widgets' CMake files, which only the
# recommended libqt6opengl6-dev brings. locales makes the comma locale the
# file round-trip tests run under. dpkg-dev and file let CPack find the
# package's library dependencies; desktop-file-utils checks its menu entry.
# python3-pymodbus (with python3-serial-asyncio, which it only recommends
# but its server imports) and socat make the Modbus slave that shares no code with
# the program, against which the tests check what reaches the wire.
# ser2net is the serial-to-TCP gateway the RTU-over-TCP tests put in front
# of the simulator.
# libmosquitto-dev is the MQTT bridge's client; mosquitto and
# mosquitto-clients are the broker and the independent client its tests use.
# python3-voluptuous and python3-jinja2 check the bridge's Home Assistant
# discovery configs against Home Assistant's schemas, templates rendered.
# libqt6sql6-sqlite is Qt SQL's SQLite driver, for the run store (runs.sqlite);
# libsqlite3-dev lets the store read its samples through SQLite itself.
# sqlite3 is the other tool the seal's tests edit a run store with.
# poppler-utils reads the run reports' PDFs back in the tests (pdftotext) and
# turns a page into a picture to look at (pdftoppm).
# qt6-websockets-dev is the WebSocket client the tests drive the browser with
# (its DevTools protocol); the web view frames its own /ws.
# chromium is the real browser the web view's tests read the page's DOM in
# and take its screenshots with.
# prometheus brings promtool, Prometheus's own check of the /metrics text.
# curl is the independent HTTP client the web view's tests ask it with, and
# how they find the browser's DevTools page.
# mbpoll is an independent Modbus TCP master the bridge's Modbus server is read with.
# influxdb is the InfluxDB 1.x server the bridge's [influx] output is tested
# against (influxd, started by the test on loopback).
# python3-aiosmtpd is the SMTP server the alarm rules' email action is tested
# against (started by the test on loopback).
# systemd brings systemd-analyze, whose offline verify checks the bridge's
# service unit as installed (the machine need not run systemd).
# libssl-dev is OpenSSL's crypto library: the web view's users' scrypt
# password hashes and its session ids, and an alarm webhook's body
# signature (HMAC-SHA256).
# As root it installs what is missing; otherwise it prints the command to run.
set -euo pipefail

Q7_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-tools-dev qt6-charts-dev qt6-qpa-plugins libqt6opengl6-dev libgl-dev
  libqt6sql6-sqlite libsqlite3-dev sqlite3
  libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev llvm
  xvfb xauth fonts-dejavu-core
  locales
  dpkg-dev file desktop-file-utils
  python3 python3-pymodbus python3-serial python3-serial-asyncio socat
  ser2net
  libssl-dev
  libmosquitto-dev mosquitto mosquitto-clients python3-voluptuous python3-jinja2
  poppler-utils
  qt6-websockets-dev chromium prometheus curl
  systemd
  mbpoll
  influxdb
  python3-aiosmtpd
)

missing=()
for p in "${Q7_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "Missing packages. Run as root:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
fi
