#!/usr/bin/env bash
# Sets up, builds, and rips the bundled demo disc through a virtual drive.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
cd build/demo
# A drive of the machine would come first in the bus scan.
VOLTA_NO_REAL_HOSTS=1 VOLTA_IMAGES=demo.cue ../bin/volta /eb /i '$2di - $t' @ && ls -l -- *.mp3
