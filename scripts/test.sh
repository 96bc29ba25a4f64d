#!/usr/bin/env bash
# Installs what is missing, checks that every source is formatted, builds with warnings as
# errors and runs every test; then gives each parser fuzzer a short run with its asserts live,
# runs the whole suite again (program and pages included, offscreen) under AddressSanitizer +
# UndefinedBehaviorSanitizer, and the library tests and the program's threaded tests under
# ThreadSanitizer. After the main tests,
# scripts/check-sdk.sh checks the installed SDK, the examples and the package.
# Set TAGBENCH_QUICK=1 to skip the sanitizer and fuzz passes.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== formatting (every tracked source against .clang-format) =="
bash scripts/check-format.sh

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
  fuzz_version_page fuzz_field_text fuzz_gs1_epc fuzz_frame_behind_noise)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTAGBENCH_BUILD_FUZZ=ON \
  -DTAGBENCH_BUILD_APP=OFF -DTAGBENCH_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target "${fuzzers[@]}"
for fuzzer in "${fuzzers[@]}"; do
  ./build-fuzz/bin/"$fuzzer" -max_total_time=10 -print_final_stats=0 2>&1 | tail -n 1
done

echo "== address + undefined behaviour sanitizers (whole suite, program and pages included) =="
configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DTAGBENCH_SANITIZE=address,undefined \
  -DTAGBENCH_BUILD_BENCH=OFF
# The test that uses up every descriptor on purpose runs in the other passes: here the checker
# itself needs a descriptor to probe memory for its vptr check and reports that as an error.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan -j "$jobs" --timeout 600 \
  -E 'AcceptOutOfDescriptors'

echo "== thread sanitizer (library tests; worker, events, inventory loop, export, network page, command-line tool) =="
tsan_tests=(readersim_transport_test readersim_pty_test qncom_test qnhid_report_test
  qnhid_reader_test qnnet_open_test qn_reader_test qn_handle_test netserver_test netserver_sim_test
  page_kit_gui_tests reader_layer_gui_tests tags_gui_tests tag_export_gui_tests net_test_page_gui_tests
  cli_test gateway_test gateway_parts_test)
cmake -S . -B build-tsan -G Ninja -DTAGBENCH_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAGBENCH_SANITIZE=thread -DTAGBENCH_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target "${tsan_tests[@]}"
# Only those executables are built: the placeholders CTest keeps for the others are skipped,
# and so are the script tests, which need the man pages, completions, program and wheel that
# only the full builds make (they ran in both passes above).
# The export tests start python3 through QProcess, a fork of a process that has threads.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 \
suppressions=$PWD/tests/sanitizers/tsan.supp" \
  ctest --test-dir build-tsan -j "$jobs" --timeout 600 \
  -E '_NOT_BUILT$|^packaging_man_pages_and_completion$|^cli_completion$|^python_tagbench$'
