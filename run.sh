#!/usr/bin/env bash
# Marevo's one entry point on a Debian 12 machine:
#   ./run.sh deps    install the Debian packages that are missing (idempotent)
#   ./run.sh build   configure and build everything into build/
#   ./run.sh test    deps, build, every test; then the core tests again under ASan + UBSan
#   ./run.sh tsan    the acquisition and platform tests (the workers and their seams) built
#                    without Qt under ThreadSanitizer into build-tsan/
#   ./run.sh bench   deps, optimised build into build-release/, run every benchmark
#   ./run.sh demo    deps, build, run the main job on the built-in simulated data, then open the
#                    desktop program on its cast when a display is available (--headless: not)
#   ./run.sh screenshots  deps, build, the manual's pictures of the windows (on Xvfb)
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  g++ cmake ninja-build pkg-config make
  libgtest-dev libgmock-dev libbenchmark-dev
  libfmt-dev libcli11-dev libbz2-dev libnetcdf-dev netcdf-bin
  qt6-base-dev qt6-svg-dev qt6-multimedia-dev fonts-dejavu-core poppler-utils
  python3 python3-gsw python3-netcdf4
  socat xvfb locales
)
# Locales the tests switch to, to prove that files are written the same whatever the locale.
TEST_LOCALES=(de_DE en_US)
JOBS=${JOBS:-2}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

deps() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}"
  fi
  local l
  for l in "${TEST_LOCALES[@]}"; do
    locale -a 2>/dev/null | grep -qix "${l}.utf8" || as_root localedef -i "$l" -f UTF-8 "${l}.UTF-8"
  done
}

configure_and_build() { # dir, cmake options...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DMAREVO_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

build() {
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
}

run_tests() {
  build
  ctest --test-dir build --output-on-failure -j "$JOBS"
  # The core again, built without Qt (which also proves it needs none), under the sanitizers.
  configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 \
    -DMAREVO_SANITIZE=ON -DMAREVO_WITH_QT=OFF -DMAREVO_BUILD_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$JOBS"
}

tsan() {
  # Only what the workers need: the core below the shell, the simulator's library and the two
  # test programs that drive threads. The sanitizer does not model fences (-Wtsan): the seqlock's
  # fence orders stores to atomic words, which it sees as such, so that warning is off.
  cmake -S . -B build-tsan -G Ninja -DMAREVO_WERROR=ON -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="-O1 -fsanitize=thread -fno-omit-frame-pointer -Wno-tsan" \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DMAREVO_WITH_QT=OFF -DMAREVO_BUILD_BENCH=OFF \
    >/dev/null
  cmake --build build-tsan -j "$JOBS" --target test_platform test_acquisition
  local t
  for t in build-tsan/tests/platform/test_platform build-tsan/tests/acquisition/test_acquisition; do
    echo "== $(basename "$t") under ThreadSanitizer"
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" LC_ALL=C.UTF-8 "$t"
  done
}

bench() {
  # GCC 12 reports false -Wrestrict/-Wstringop warnings in library code at -O3: the release build
  # keeps its warnings but does not fail on them (the test builds do).
  configure_and_build build-release -DCMAKE_BUILD_TYPE=Release -DMAREVO_BUILD_TESTS=OFF \
    -DMAREVO_WERROR=OFF
  local b
  for b in build-release/bench/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" --benchmark_counters_tabular=true
  done
  # The seawater formulas against an implementation nobody here wrote.
  /usr/bin/python3 bench/gsw_compare.py --bench build-release/bench/bench_formulas
  # The demo's binned cast against an independent binning of the recorded cast.
  echo "== demo product against python3-gsw"
  bash bench/demo_compare.sh build-release/apps/marevo-cli/marevo-cli
  echo "== acquisition worker, 30 s at 32 Hz (goal under 2 % of a core)"
  bash bench/acquire_cpu.sh build-release/apps/marevo-cli/marevo-cli \
    build-release/apps/probesim/marevo-probesim
}

demo() {
  build
  local headless=0 args=() root=() a
  for a in "$@"; do
    case "$a" in
      --headless) headless=1 ;;
      *) args+=("$a") ;;
    esac
  done
  # The desktop program takes the same data root as the demo.
  local i
  for ((i = 0; i < ${#args[@]}; i++)); do
    case "${args[$i]}" in
      --data-root) root=(--data-root "${args[$((i + 1))]}") ;;
      --data-root=*) root=("${args[$i]}") ;;
    esac
  done
  set -- ${args[@]+"${args[@]}"}
  # The simulated instruments run as their own program on pseudo-terminals, as real ones would
  # on serial lines; the demo identifies the probe on its line. The simulator's own log (what it
  # heard) is shown at the end.
  local devices simlog sim status=0 gui=0
  if [ "$headless" -eq 0 ] && [ -x build/apps/marevo/marevo ] &&
    [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    gui=1
  fi
  devices=$(mktemp) simlog=$(mktemp)
  # With the desktop program the instruments stay up until it closes, for its casts.
  local duration=120
  [ "$gui" -eq 1 ] && duration=0
  ./build/apps/probesim/marevo-probesim --duration "$duration" >"$devices" 2>"$simlog" &
  sim=$!
  # shellcheck disable=SC2064 # the pid and file names are known now
  trap "kill $sim 2>/dev/null || true; rm -f '$devices' '$simlog'" EXIT
  for _ in $(seq 50); do
    grep -q '^display ' "$devices" && break
    sleep 0.1
  done
  local cli=./build/apps/marevo-cli/marevo-cli
  device_of() { awk -v n="$1" '$1 == n { print $2 }' "$devices"; }
  local port
  port=$(device_of probe)
  "$cli" demo ${port:+--probe-port "$port"} "$@" || status=$?
  if [ "$status" -eq 0 ] && [ "$gui" -eq 1 ]; then
    # The desktop program finds the simulated instruments through Ports.map, so that "Start
    # Cast" runs a cast against them; the ports it had are given back when it closes.
    local before
    before=$("$cli" ${root[@]+"${root[@]}"} config ports | awk '{
      d = $NF; if (d == "(on)") d = $(NF - 1); if (d == "-") d = "none"; printf "%s ", d }')
    read -r -a before <<<"$before"
    "$cli" ${root[@]+"${root[@]}"} config ports --probe "$port" --gps "$(device_of gps)" \
      --ext "$(device_of par)" --rdr "$(device_of display)"
    echo
    echo "Opening the main window on the demo's cast (close it to end the demo). The simulated"
    echo "instruments are connected: press the record button for a real-time cast."
    ./build/apps/marevo/marevo ${root[@]+"${root[@]}"} || status=$?
    if [ ${#before[@]} -eq 4 ]; then
      "$cli" ${root[@]+"${root[@]}"} config ports --probe "${before[0]}" --gps "${before[1]}" \
        --ext "${before[2]}" --rdr "${before[3]}" >/dev/null || true
    fi
  fi
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  echo
  echo "simulated instruments: $(tr '\n' ' ' <"$devices")"
  grep -E 'probe (<-|:)' "$simlog" | tail -n 30 || true
  return "$status"
}

screenshots() {
  build
  local s
  for s in docs/manual/make-*-screenshots.sh; do
    bash "$s"
  done
}

cmd=${1:-}
shift || true
case "$cmd" in
  deps) deps ;;
  build) deps; build ;;
  test) deps; run_tests ;;
  tsan) deps; tsan ;;
  bench) deps; bench ;;
  demo) deps; demo "$@" ;;
  screenshots) deps; screenshots ;;
  *) echo "usage: $0 {deps|build|test|tsan|bench|demo|screenshots}" >&2; exit 2 ;;
esac
