#!/usr/bin/env bash
# Sets up a Debian machine for 墨舟题苑 and then either starts the program or runs every test.
#   scripts/bootstrap.sh run    install what is missing, build, start mozhou
#   scripts/bootstrap.sh test   install what is missing, build, run every test (and the sanitizer build)
set -euo pipefail
mode=${1:-run}
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev
          libgtest-dev libgmock-dev googletest libbenchmark-dev
          fonts-arphic-gbsn00lp fonts-noto-cjk qt6-translations-l10n)
if [ "$mode" = test ]; then
    # dpkg-dev and file make the Debian package (its dependencies from the linked libraries);
    # the validators check what it installs.
    packages+=(mdbtools xvfb xauth dpkg-dev file desktop-file-utils appstream strace)
    # clang and its libFuzzer build the engine's fuzz targets.
    packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ "$mode" = test ] && ! command -v npm >/dev/null; then
    missing+=(nodejs npm)
fi
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

case "$mode" in
run)
    exec build/bin/mozhou
    ;;
test)
    # The independent Jet readers that check every file the engine writes.
    if [ -f tests/oracle/package.json ]; then
        (cd tests/oracle && npm ci --no-audit --no-fund --loglevel=error)
    fi
    export QT_QPA_PLATFORM=offscreen
    status=0
    ctest --test-dir build --output-on-failure -j "$jobs" || status=1
    # The Debian package, unpacked and started as an installed program.
    bash scripts/check_package.sh build || status=1
    # The engine again, under AddressSanitizer and UndefinedBehaviorSanitizer.
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMOZHOU_ENGINE_ONLY=ON \
        -DMOZHOU_SANITIZE=ON >/dev/null
    cmake --build build-asan -j "$jobs"
    ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j "$jobs" || status=1
    # The engine's fuzz targets (clang's libFuzzer, with the sanitizers), each run a fixed
    # number of times from its committed seeds.
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++-14 -DMOZHOU_ENGINE_ONLY=ON -DMOZHOU_FUZZ=ON >/dev/null
    cmake --build build-fuzz -j "$jobs"
    ctest --test-dir build-fuzz --output-on-failure -j "$jobs" || status=1
    exit $status
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 1
    ;;
esac
