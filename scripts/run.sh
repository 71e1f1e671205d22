#!/usr/bin/env bash
# Installs what is missing, builds, and starts Ftp Qor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec ./build/src/app/ftpqor "$@"
