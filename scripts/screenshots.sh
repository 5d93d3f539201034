#!/usr/bin/env bash
# Takes the pictures of the README and the manual (docs/*.png) on a virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cmake --build build --target reportgen-screenshots
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x1024x24" build/reportgen-screenshots docs
