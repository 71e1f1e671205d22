#!/usr/bin/env bash
# Installs what is missing, builds the program alone (not the tests), and starts Ftp Qor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh ftpqor
exec ./build/src/app/ftpqor "$@"
