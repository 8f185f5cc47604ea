#!/usr/bin/env bash
# Installs what is missing, builds the game (Release) and starts it.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
vantor_install_packages
vantor_build build/release -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF
exec build/release/vantor "$@"
