#!/usr/bin/env bash
# Configures and builds the project into build/ (Release with debug info): the
# targets named (`scripts/build.sh tests`, `scripts/build.sh qinghebu`), or the
# program, its tools and the tests when none is named. The benchmarks are built
# only on request (`scripts/build.sh benches`).
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
targets=()
[ $# -eq 0 ] || targets=(--target "$@")
cmake --build build -j"$(nproc)" "${targets[@]}"
