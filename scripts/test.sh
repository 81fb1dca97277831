#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test headless; makes the Debian
# package and checks it (scripts/check-package.sh); checks the sources listed in
# scripts/tidy-files.txt with clang-tidy (scripts/tidy.sh); then builds the tests a second time
# with AddressSanitizer and UndefinedBehaviorSanitizer (Debug, in build-sanitize/) and runs them
# all again there. Any sanitizer report from our own code fails
# the run; tests/sanitizers/ holds the suppressions for what comes from system libraries.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$root/build"
ctest --output-on-failure --timeout 600 -j2
"$root/scripts/check-package.sh" "$root/build"

echo "zelvor: clang-tidy on the sources scripts/tidy-files.txt lists"
"$root/scripts/tidy.sh"

echo "zelvor: the tests again, under AddressSanitizer and UndefinedBehaviorSanitizer"
san="$root/build-sanitize"
supp="$root/tests/sanitizers"
if [ ! -f "$san/build.ninja" ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$root" -B "$san" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZELVOR_BUILD_BENCH=OFF \
    "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
    "${launcher[@]}" \
    || { echo "zelvor: configuring the sanitizer build failed" >&2; exit 1; }
fi
cmake --build "$san" || { echo "zelvor: the sanitizer build failed" >&2; exit 1; }
# intercept_tls_get_addr=0: the leak checker's own record of thread-local blocks goes wrong for a
# library with thread-local data (libjpeg-turbo) loaded late on the main thread, and its tracer
# then crashes at exit (a PDF page holding a JPEG image, say). Static thread-local storage is
# still scanned.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="suppressions=$supp/ubsan.supp:print_stacktrace=1:halt_on_error=1"
cd "$san"
ctest --output-on-failure --timeout 600 -j2
