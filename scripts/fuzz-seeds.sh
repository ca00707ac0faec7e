#!/usr/bin/env bash
# Writes the seed inputs of the fuzz harnesses: a few small valid files per
# harness, made by the fuzz build's make_fuzz_seeds (fuzz/MakeSeeds.cpp) with
# the writers the tests use, into BUILD_DIR/seeds/<harness>/. Nothing binary
# is kept in the tree: the seeds are made again on every run.
#   scripts/fuzz-seeds.sh BUILD_DIR      (a build configured with -DQNDX_FUZZ=ON)
set -euo pipefail
build=${1:?usage: scripts/fuzz-seeds.sh BUILD_DIR}
cmake --build "$build" --target make_fuzz_seeds >/dev/null
rm -rf "$build/seeds"
mkdir -p "$build/seeds"
"$build/fuzz/make_fuzz_seeds" "$build/seeds"
