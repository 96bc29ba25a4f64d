#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test; then runs the
# library and unit tests again under AddressSanitizer + UndefinedBehaviorSanitizer and the
# library tests under ThreadSanitizer, and gives each parser fuzzer a short run. After the
# main tests, scripts/check-sdk.sh checks the installed SDK, the examples and the package.
# Set TAGBENCH_QUICK=1 to skip the sanitizer and fuzz passes.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

configure_and_build() {  # build-dir, extra cmake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DTAGBENCH_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== build and test (all) =="
configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr
ctest --test-dir build -j "$jobs" --timeout 300

echo "== SDK and package (install, consumer builds, examples, desktop files, .deb) =="
bash scripts/check-sdk.sh build

if [ "${TAGBENCH_QUICK:-0}" = 1 ]; then exit 0; fi

echo "== fuzz smoke run (parsers of outside input, 10 s each, asserts live) =="
fuzzers=(fuzz_receive_parser fuzz_request_parser fuzz_ini_document fuzz_tag_records
  fuzz_device_profile fuzz_link fuzz_hid_reports fuzz_active_reports fuzz_param_records
  fuzz_version_page)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTAGBENCH_BUILD_FUZZ=ON \
  -DTAGBENCH_BUILD_APP=OFF -DTAGBENCH_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target "${fuzzers[@]}"
for fuzzer in "${fuzzers[@]}"; do
  ./build-fuzz/bin/"$fuzzer" -max_total_time=10 -print_final_stats=0 2>&1 | tail -n 1
done

echo "== address + undefined behaviour sanitizers (libraries, virtual reader, unit tests) =="
configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DTAGBENCH_SANITIZE=address,undefined \
  -DTAGBENCH_BUILD_APP=OFF -DTAGBENCH_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan -j "$jobs" --timeout 600 -L 'unit|integration'

echo "== thread sanitizer (library tests) =="
configure_and_build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGBENCH_SANITIZE=thread \
  -DTAGBENCH_BUILD_APP=OFF -DTAGBENCH_BUILD_BENCH=OFF
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan -j "$jobs" --timeout 600 -L integration
