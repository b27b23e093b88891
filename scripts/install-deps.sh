#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, when missing.
set -euo pipefail
need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v make >/dev/null || need+=(make)
# The package check builds the API example through pkg-config.
command -v pkg-config >/dev/null || need+=(pkg-config)
[ -f /usr/include/zlib.h ] || need+=(zlib1g-dev)
# Mark "F" bodies are compressed and inflated with libdeflate where it is
# found (the zlib-only build needs zlib alone).
[ -f /usr/include/libdeflate.h ] || need+=(libdeflate-dev)
[ -d /usr/include/gtest ] || need+=(libgtest-dev)
[ -d /usr/include/benchmark ] || need+=(libbenchmark-dev)
# The fuzz targets (fuzz/) need clang with libFuzzer; the leak check of the
# end-to-end tests needs valgrind.
command -v clang++ >/dev/null || need+=(clang)
compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null || need+=(libclang-rt-14-dev)
command -v valgrind >/dev/null || need+=(valgrind)
# The debug-channel end-to-end tests watch the program through strace.
command -v strace >/dev/null || need+=(strace)
# The asset pipeline example (scripts/check-pipeline.sh) builds with Ninja.
command -v ninja >/dev/null || need+=(ninja-build)
# The end-to-end tests of unwritable outputs leave root through setpriv.
command -v setpriv >/dev/null || need+=(util-linux)
# The end-to-end benchmark (make bench) reads peak memory from GNU time.
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${need[@]}"
fi
