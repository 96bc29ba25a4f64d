#!/usr/bin/env bash
# Checks the SDK and the package as their users meet them, from an existing build folder
# (default: build): installs into a temporary prefix, builds the C examples against it with
# find_package(TagBench) and with pkg-config, runs reader_info (both builds and the Python
# one) against tagbench-sim over TCP, the HID tunnel and a pseudo-terminal and many_readers
# against all three at once, validates
# the desktop entry and the AppStream metainfo, and packs a Debian package whose contents
# must hold the libraries, headers, programs, data, desktop entry and udev rule. As root (or
# with password-less sudo), it then installs the package with apt, starts the installed
# program from an empty folder and checks that it finds its data and writes nothing under the
# prefix, and removes the package again.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
[ -f "$build/CMakeCache.txt" ] || { echo "check-sdk: no build in $build" >&2; exit 1; }

work=$(mktemp -d)
sim_pids=()
app_pid=
package_installed=0
marker=
prefix_bin=
as_root=()
stop() {  # pid: ends a process this script started
  kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true
}
cleanup() {
  for pid in "${sim_pids[@]}"; do stop "$pid"; done
  if [ -n "$app_pid" ]; then stop "$app_pid"; fi
  if [ "$package_installed" = 1 ]; then
    "${as_root[@]}" apt-get purge -y "${packages[@]}" >"$work/remove.log" 2>&1 \
      || { cat "$work/remove.log" >&2; echo "check-sdk: could not remove ${packages[*]}" >&2; }
  fi
  if [ -n "$marker" ]; then  # what a faulty installed program leaves beside itself
    "${as_root[@]}" find "$prefix_bin" -maxdepth 1 \( -name SystemConfig.ini -o -name Log \) \
      -newer "$marker" -exec rm -rf {} + 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check-sdk: $*" >&2; exit 1; }

echo "-- install into a temporary prefix"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
pc_dir=$(dirname "$(find "$prefix" -name qncomapi.pc)")
lib_dir=$(dirname "$pc_dir")
for f in "$lib_dir"/libQn{{Com,Hid,Net}Api,Reader}.so.2 \
         "$prefix"/include/tagbench/Qn{{Com,Hid,Net}Api,Reader}.h \
         "$lib_dir"/cmake/TagBench/TagBenchConfig{,Version}.cmake \
         "$pc_dir"/qn{{com,hid,net}api,reader}.pc "$prefix"/bin/tagbench-sim; do
  [ -e "$f" ] || fail "not installed: ${f#"$prefix"/}"
done
# The tools and the handle library start without Qt (and the ICU data it loads).
for f in "$prefix"/bin/tagbench-cli "$lib_dir"/libQnReader.so.2; do
  if [ -e "$f" ] && LD_LIBRARY_PATH=$lib_dir ldd "$f" | grep -qiE 'libQt|libicu'; then
    fail "${f#"$prefix"/} loads Qt"
  fi
done
app=0
[ -x "$prefix/bin/tagbench" ] && app=1

echo "-- consumer build with find_package(TagBench)"
cmake -S examples -B "$work/find" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_STANDARD=11 -DCMAKE_C_FLAGS="-Wall -Wextra -pedantic -Werror" >/dev/null
cmake --build "$work/find" >/dev/null

echo "-- consumer build with pkg-config"
export PKG_CONFIG_PATH=$pc_dir
pkg-config --atleast-version=2.9 qncomapi qnhidapi qnnetapi qnreader \
  || fail "pkg-config finds no SDK 2.9"
# shellcheck disable=SC2046  # pkg-config prints several words on purpose
cc -std=c11 -Wall -Wextra -pedantic -Werror examples/reader_info.c -o "$work/reader_info_pc" \
  $(pkg-config --cflags --libs qncomapi qnhidapi qnnetapi) \
  -Wl,-rpath,"$(pkg-config --variable=libdir qncomapi)"
# shellcheck disable=SC2046
cc -std=c11 -Wall -Wextra -pedantic -Werror -pthread examples/many_readers.c \
  -o "$work/many_readers_pc" $(pkg-config --cflags --libs qnreader) \
  -Wl,-rpath,"$(pkg-config --variable=libdir qnreader)"

echo "-- examples against tagbench-sim (TCP, HID tunnel, pseudo-terminal)"
# Three virtual readers of different type bytes (families) and fields, so that each line of
# many_readers shows it talked to its own reader: name, then tagbench-sim's options.
start_sim() {
  local name=$1; shift
  "$prefix/bin/tagbench-sim" "$@" >"$work/$name.out" 2>"$work/$name.err" &
  sim_pids+=($!)
  for _ in $(seq 300); do  # up to 30 s on a loaded machine
    grep -qs '^\(tcp\|hid\|link\) ' "$work/$name.out" && return
    kill -0 "${sim_pids[-1]}" 2>/dev/null || fail "tagbench-sim ended: $(cat "$work/$name.err")"
    sleep 0.1
  done
  fail "tagbench-sim ($name) did not get ready"
}
start_sim tcp --tcp 0 --family 0x50 --tags 3
start_sim hid --hid 0 --family 0xC4 --tags 4
start_sim pty --pty --link "$work/tty0" --family 0xD0 --tags 5
tcp_port=$(sed -n 's/^tcp 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/tcp.out")
hid_port=$(sed -n 's/^hid 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/hid.out")
export QNHID_SIM="127.0.0.1:$hid_port"

expect_run() {  # name, command...: the run must print the identity and ten inventories
  local name=$1; shift
  local out=$work/run.out
  timeout 60 "$@" >"$out" 2>&1 || { cat "$out" >&2; fail "$name failed"; }
  grep -q '^firmware [0-9]*\.[0-9]*, hardware [0-9]*\.[0-9]*, serial number\( [0-9A-F]\{2\}\)\{7\}$' \
    "$out" || { cat "$out" >&2; fail "$name printed no identity"; }
  grep -qx 'inventories with tags: 10 of 10' "$out" || { cat "$out" >&2; fail "$name: inventories"; }
  echo "   $name: ok"
}
expect_run "C (find_package), tcp" "$work/find/reader_info" tcp 127.0.0.1 "$tcp_port"
expect_run "C (pkg-config), tcp" "$work/reader_info_pc" tcp 127.0.0.1 "$tcp_port"
expect_run "C (pkg-config), usb" "$work/reader_info_pc" usb 0
expect_run "C (pkg-config), serial" "$work/reader_info_pc" serial "$work/tty0"
expect_run "Python, tcp" env PYTHONPATH=python python3 examples/reader_info.py --lib-dir "$lib_dir" tcp 127.0.0.1 "$tcp_port"
expect_run "Python, usb" env PYTHONPATH=python python3 examples/reader_info.py --lib-dir "$lib_dir" usb 0

# many_readers: one line per reader in the order given, with its reader's type byte first in
# the serial number, every round answered and the reader's whole field counted.
readers=("tcp://127.0.0.1:$tcp_port" usb:0 "serial:$work/tty0")
expected_lines=(
  "tcp://127\.0\.0\.1:$tcp_port serial 50[0-9A-F]\{12\} rounds 20 tags 3 failed 0"
  "usb:0 serial C4[0-9A-F]\{12\} rounds 20 tags 4 failed 0"
  "serial:$work/tty0 serial D0[0-9A-F]\{12\} rounds 20 tags 5 failed 0")
for build_name in find pc; do
  program=$work/find/many_readers
  [ "$build_name" = pc ] && program=$work/many_readers_pc
  out=$work/many.out
  timeout 60 "$program" --rounds 20 "${readers[@]}" >"$out" 2>"$work/many.err" \
    || { cat "$out" "$work/many.err" >&2; fail "many_readers ($build_name) failed"; }
  for i in "${!expected_lines[@]}"; do
    sed -n "$((i + 1))p" "$out" | grep -qx "${expected_lines[$i]}" \
      || { cat "$out" >&2; fail "many_readers ($build_name): line $((i + 1))"; }
  done
  [ "$(wc -l <"$out")" = 3 ] || { cat "$out" >&2; fail "many_readers ($build_name): lines"; }
  echo "   many_readers ($build_name), tcp + usb + serial at once: ok"
done
# An address that cannot be opened: exit status 1, the reason on stderr, the others still run.
status=0
timeout 60 "$work/many_readers_pc" --rounds 2 "serial:$work/no-such-tty0" \
  "tcp://127.0.0.1:$tcp_port" >"$out" 2>"$work/many.err" || status=$?
[ "$status" = 1 ] || fail "many_readers with a missing device: exit status $status"
grep -q "^serial:$work/no-such-tty0: ." "$work/many.err" \
  || { cat "$work/many.err" >&2; fail "many_readers gave no reason for the missing device"; }
grep -q "^tcp://127\.0\.0\.1:$tcp_port serial 50" "$out" \
  || { cat "$out" >&2; fail "many_readers stopped the other reader"; }
echo "   many_readers, a missing device: ok ($(cat "$work/many.err"))"
for pid in "${sim_pids[@]}"; do stop "$pid"; done
sim_pids=()
unset QNHID_SIM

echo "-- desktop entry and AppStream metainfo"
desktop-file-validate packaging/desktop/org.tagbench.TagBench.desktop
appstreamcli validate --no-net packaging/desktop/org.tagbench.TagBench.metainfo.xml >/dev/null
if [ "$app" = 1 ]; then
  for f in share/applications/org.tagbench.TagBench.desktop share/metainfo/org.tagbench.TagBench.metainfo.xml \
           share/icons/hicolor/scalable/apps/org.tagbench.TagBench.svg \
           share/icons/hicolor/48x48/apps/org.tagbench.TagBench.png share/man/man1/tagbench.1.gz; do
    [ -e "$prefix/$f" ] || fail "not installed: $f"
  done
  "$prefix/bin/tagbench" --version | grep -q '^.* 2\.9$' || fail "tagbench --version"
fi

echo "-- man pages, licence, Python wheel"
for page in "$prefix"/share/man/man1/*.1.gz; do
  ! zgrep -q '@[A-Z_]*@' "$page" || fail "$(basename "$page") holds an unfilled @...@"
  zgrep -q "TagBench $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" "$page" \
    || fail "$(basename "$page") does not name the version"
done
grep -q '<project_license>Apache-2.0</project_license>' \
  packaging/desktop/org.tagbench.TagBench.metainfo.xml || fail "metainfo: no project_license"
wheel=$(ls "$build"/python/tagbench-*-py3-none-any.whl) || fail "no Python wheel in $build/python"
python3 -c 'import sys, zipfile
wheel = zipfile.ZipFile(sys.argv[1])
metadata = wheel.read(next(n for n in wheel.namelist() if n.endswith(".dist-info/METADATA")))
sys.exit("License: Apache-2.0" not in metadata.decode().splitlines())' "$wheel" \
  || fail "wheel: no Apache-2.0 licence in its metadata"

echo "-- Debian packages (split, lintian)"
(cd "$build" && cpack -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack"; }
debs=("$work"/deb/*.deb)
packages=()
for deb in "${debs[@]}"; do packages+=("$(dpkg-deb --field "$deb" Package)"); done
echo "   ${packages[*]}"
expected_packages=(libqncomapi2 libqnhidapi2 libqnnetapi2 libqnreader2 libtagbench-dev
                   tagbench-tools tagbench-gateway python3-tagbench)
[ "$app" = 1 ] && expected_packages+=(tagbench)
for package in "${expected_packages[@]}"; do
  [[ " ${packages[*]} " == *" $package "* ]] || fail "no package $package"
done
# Every error and warning at lintian's default level fails; overrides carry their reason.
lintian --fail-on error,warning "${debs[@]}" >"$work/lintian.log" 2>&1 \
  || { cat "$work/lintian.log" >&2; fail "lintian"; }
deb_of() { ls "$work"/deb/"$1"_*.deb; }
pkg_prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
# package:pattern of a file it must hold, under the prefix.
expected=(
  "libqncomapi2:lib/.*/libQnComApi\.so\.2$" "libqnhidapi2:lib/.*/libQnHidApi\.so\.2$"
  "libqnnetapi2:lib/.*/libQnNetApi\.so\.2$" "libqnreader2:lib/.*/libQnReader\.so\.2$"
  "libtagbench-dev:lib/.*/libQnReader\.so$" "libtagbench-dev:include/tagbench/QnComApi\.h$"
  "libtagbench-dev:include/tagbench/QnReader\.h$" "libtagbench-dev:include/tagbench/QnReaderTypes\.h$"
  "libtagbench-dev:lib/.*/cmake/TagBench/TagBenchConfig\.cmake$"
  "libtagbench-dev:lib/.*/pkgconfig/qnhidapi\.pc$" "libtagbench-dev:lib/.*/pkgconfig/qnreader\.pc$"
  "tagbench-tools:bin/tagbench-sim$" "tagbench-tools:bin/tagbench-cli$"
  "tagbench-tools:share/man/man1/tagbench-sim\.1\.gz$" "tagbench-tools:share/man/man1/tagbench-cli\.1\.gz$"
  "tagbench-tools:share/bash-completion/completions/tagbench-cli$"
  "tagbench-tools:share/bash-completion/completions/tagbench-sim$"
  "tagbench-gateway:share/bash-completion/completions/tagbench-gateway$"
  "python3-tagbench:lib/python3/dist-packages/tagbench/__init__\.py$"
  "tagbench-gateway:bin/tagbench-gateway$" "tagbench-gateway:lib/systemd/system/tagbench-gateway\.service$"
  "tagbench-gateway:share/man/man1/tagbench-gateway\.1\.gz$")
if [ "$app" = 1 ]; then
  expected+=("tagbench:bin/tagbench$" "tagbench:share/tagbench/Language/English\.ini$"
             "tagbench:share/tagbench/skin/blue\.skin$" "tagbench:share/tagbench/logo/hello\.bmp$"
             "tagbench:lib/udev/rules\.d/70-tagbench-ch9326\.rules$"
             "tagbench:share/man/man1/tagbench\.1\.gz$"
             "tagbench:share/applications/org\.tagbench\.TagBench\.desktop$"
             "tagbench:share/metainfo/org\.tagbench\.TagBench\.metainfo\.xml$"
             "tagbench:share/icons/hicolor/256x256/apps/org\.tagbench\.TagBench\.png$")
fi
for entry in "${expected[@]}"; do
  package=${entry%%:*} pattern=${entry#*:}
  dpkg-deb --contents "$(deb_of "$package")" | awk '{print $6}' \
    | grep -q "^\.${pkg_prefix%/}/$pattern" || fail "$package lacks ${pkg_prefix%/}/$pattern"
done
# The runtime libraries hold no link-time names; development files hold no runtime ones.
for package in libqncomapi2 libqnhidapi2 libqnnetapi2 libqnreader2; do
  dpkg-deb --contents "$(deb_of "$package")" | awk '{print $6}' | grep -q '\.so$' \
    && fail "$package holds a development symlink"
done
dpkg-deb --contents "$(deb_of tagbench-gateway)" | awk '{print $6}' \
  | grep -qx '\./etc/tagbench/gateway\.conf' || fail "tagbench-gateway lacks /etc/tagbench/gateway.conf"
dpkg-deb --ctrl-tarfile "$(deb_of tagbench-gateway)" | tar -xO ./conffiles \
  | grep -qx /etc/tagbench/gateway.conf || fail "gateway.conf is no conffile"
depends() { dpkg-deb --field "$(deb_of "$1")" Depends; }
[[ $(depends libqnhidapi2) == *libhidapi-hidraw0* ]] || fail "libqnhidapi2 does not depend on hidapi"
[[ $(depends tagbench-tools) == *"libqnreader2 (= "* ]] || fail "tagbench-tools: $(depends tagbench-tools)"
[[ $(depends python3-tagbench) == *"libqnreader2 (= "* ]] || fail "python3-tagbench: $(depends python3-tagbench)"
if [ "$app" = 1 ]; then
  [[ $(depends tagbench) == *libqt6widgets6* ]] || fail "tagbench does not depend on Qt: $(depends tagbench)"
fi

# The installed gateway, as its unit starts it but with its own configuration: a broker on a
# free loopback port, the installed tagbench-sim connecting out, one tag message received.
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
check_installed_gateway() {
  local broker_port gateway_port
  broker_port=$(free_port) gateway_port=$(free_port)
  printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$broker_port" \
    >"$work/mosquitto.conf"
  mosquitto -c "$work/mosquitto.conf" >"$work/mosquitto.log" 2>&1 &
  sim_pids+=($!)
  printf 'listen = ["127.0.0.1:%s"]\nmqtt = "mqtt://127.0.0.1:%s"\nname = "check-sdk"\n' \
    "$gateway_port" "$broker_port" >"$work/gateway.conf"
  for _ in $(seq 300); do  # the broker listens
    mosquitto_pub -h 127.0.0.1 -p "$broker_port" -t check-sdk -m ready >/dev/null 2>&1 && break
    sleep 0.1
  done
  timeout 60 mosquitto_sub -h 127.0.0.1 -p "$broker_port" -t 'tagbench/+/tags' -C 1 \
    >"$work/message.json" 2>"$work/sub.err" &
  local sub_pid=$!
  "${pkg_prefix%/}/bin/tagbench-gateway" --config "$work/gateway.conf" 2>"$work/gateway.err" &
  sim_pids+=($!)
  "${pkg_prefix%/}/bin/tagbench-sim" --connect "127.0.0.1:$gateway_port" >/dev/null 2>&1 &
  sim_pids+=($!)
  wait "$sub_pid" || { cat "$work/gateway.err" "$work/sub.err" >&2; fail "no message from the installed gateway"; }
  grep -q '^{"v":1,"reader":"[0-9A-F]\{14\}","epc":"[0-9A-F]*"' "$work/message.json" \
    || { cat "$work/message.json" >&2; fail "installed gateway: unexpected message"; }
  for pid in "${sim_pids[@]}"; do stop "$pid"; done
  sim_pids=()
  echo "   installed gateway: one message through mosquitto ok"
}

# The installed program: configuration and logs go to the XDG folders, whoever runs it (root
# included), its data is found under the prefix, and nothing is written into the prefix or
# the working folder.
installed_run=skipped
if [ "$app" = 1 ]; then
  if [ "$(id -u)" != 0 ]; then sudo -n true 2>/dev/null && as_root=(sudo -n); fi
  if [ "$(id -u)" != 0 ] && [ ${#as_root[@]} = 0 ]; then
    echo "-- installed program: skipped (needs root or password-less sudo)"
  elif dpkg-query -W -f='${Status}' "${packages[@]}" 2>/dev/null | grep -q 'ok installed'; then
    echo "-- installed packages: skipped (a tagbench package is installed on this system)"
  else
    echo "-- installed packages (apt install, the tools, the program from an empty folder, apt remove)"
    # One install-run-remove at a time on this machine.
    lock_file=/tmp/tagbench-check-sdk.lock
    [ -e "$lock_file" ] || : >"$lock_file"
    exec {lock_fd}<"$lock_file"
    flock -w 1200 "$lock_fd" || fail "another check-sdk holds the package lock"
    package_installed=1
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
      -o DPkg::Lock::Timeout=600 "${debs[@]}" >"$work/install.log" 2>&1 \
      || { cat "$work/install.log" >&2; fail "apt-get install ${packages[*]}"; }
    "${pkg_prefix%/}/bin/tagbench-cli" --version | grep -qx "tagbench-cli 2\.9\.0" \
      || fail "installed tagbench-cli --version"
    # The installed Python package, in the system's python3, loads the installed library
    # from the system path.
    (cd "$work" && env -u TAGBENCH_LIB_DIR /usr/bin/python3 -c '
import tagbench
try:
    tagbench.open("tcp://")
except tagbench.ReaderError as error:
    print(error)') | grep -q "malformed" || fail "installed python3-tagbench"
    check_installed_gateway
    prefix_bin=${pkg_prefix%/}/bin
    program=$prefix_bin/tagbench
    [ -x "$program" ] || fail "not installed: $program"
    home=$work/home
    mkdir -p "$home" "$work/empty" "$work/runtime"
    chmod 700 "$work/runtime"
    touch "$work/installed.marker"
    marker=$work/installed.marker
    (cd "$work/empty" && exec env HOME="$home" XDG_CONFIG_HOME="$home/config" \
       XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
       QT_LOGGING_RULES="tagbench.startup.info=true" "$program" --demo \
       >"$work/app.out" 2>"$work/app.err") &
    app_pid=$!
    # The language line comes once the configuration and the log folder are in place.
    language_line="language file ${pkg_prefix%/}/share/tagbench/Language/[A-Za-z]*\.ini: [1-9][0-9]* texts"
    for _ in $(seq 600); do  # up to 60 s on a loaded machine
      grep -q "$language_line" "$work/app.err" && break
      kill -0 "$app_pid" 2>/dev/null || { cat "$work/app.err" >&2; fail "$program ended"; }
      sleep 0.1
    done
    stop "$app_pid"; app_pid=
    written=$(find "${pkg_prefix%/}" -xdev -newer "$marker" 2>/dev/null | head -n 20)
    [ -z "$written" ] || fail "the installed program wrote under ${pkg_prefix%/}: $written"
    [ -z "$(ls -A "$work/empty")" ] || fail "wrote into its working folder: $(ls -A "$work/empty")"
    grep -q "$language_line" "$work/app.err" \
      || { cat "$work/app.err" >&2; fail "the installed program found no language file"; }
    [ -f "$home/config/tagbench/SystemConfig.ini" ] || fail "no SystemConfig.ini in \$XDG_CONFIG_HOME"
    [ -d "$home/state/tagbench/Log" ] || fail "no log folder in \$XDG_STATE_HOME"
    "${as_root[@]}" apt-get purge -y "${packages[@]}" >"$work/remove.log" 2>&1 \
      || { cat "$work/remove.log" >&2; fail "apt-get purge ${packages[*]}"; }
    package_installed=0
    flock -u "$lock_fd"
    installed_run=ok
    echo "   installed program: ok"
  fi
fi
echo "check-sdk: all good (${#debs[@]} packages, lintian clean, installed: $installed_run)"
