#!/usr/bin/env bash
# Installs the Debian packages the project needs, and only when one is missing. Packages given
# as arguments are needed too (fuzz.sh asks for clang and libFuzzer this way).
set -euo pipefail

packages=(
    build-essential cmake
    qtbase5-dev libqt5serialport5-dev libqt5serialbus5-dev libqt5serialbus5-plugins
    qttools5-dev-tools qttools5-dev
    # Qwt: the plots of the Trends window.
    libqwt-qt5-dev
    libbenchmark-dev
    xvfb xauth fonts-wqy-zenhei
    clang-format
    # The independent reader of bmsctl's candump logs in its tests, and the independent slcan
    # host the serial-line adapter's tests talk to; socat makes the pty pair those tests record
    # the host's lines on.
    python3-can socat
    # bmsctl's BLF traffic logs: zlib packs and unpacks their log containers.
    zlib1g-dev
    # bmsctl mqtt: the Mosquitto client library; its tests run the broker, read it with
    # mosquitto_sub and make their TLS certificates with openssl. The broker package may start a
    # system broker on port 1883; the tests never use it, they start their own on ports of their
    # own.
    libmosquitto-dev mosquitto mosquitto-clients openssl
    # bmsctl exporter: Prometheus's C++ client library; its test runs a Prometheus server of its
    # own on a port of its own (the package may start a system one on 9090, which it never uses).
    prometheus-cpp-dev prometheus
    # bench/exporter.sh scrapes the exporter with curl.
    curl
    # tst_bmsctl_mqtt brings up the loopback of a network namespace of its own with ip.
    iproute2
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
else
    sudo=
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
