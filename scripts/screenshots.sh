#!/usr/bin/env bash
# Photographs PLUMA's main window in French and in English under Xvfb, with
# the demo disc in a virtual drive, into docs/. Needs a build (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

cp build/bin/pluma build/bin/volta "$work/"
Xvfb -displayfd 3 -screen 0 1024x720x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
mkdir -p docs

for language in fr en; do
  home="$work/home-$language"
  mkdir -p "$home/config/PLUMA" "$home/runtime"
  chmod 700 "$home/runtime"
  value=0
  [ "$language" = en ] && value=1000
  printf '[ConfigCD]\nLanguage=%s\nEject=0\n' "$value" >"$home/config/PLUMA/PLUMA.conf"
  XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" \
    QT_QPA_PLATFORM=xcb VOLTA_NO_REAL_HOSTS=1 VOLTA_IMAGES="$PWD/build/demo/demo.cue" "$work/pluma" &
  pluma=$!
  window=""
  for _ in $(seq 100); do
    window=$(xwininfo -root -tree | awk '/"PLUMA V/ {print $1; exit}')
    [ -n "$window" ] && break
    sleep 0.1
  done
  sleep 1
  read -r x y w h < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
  ffmpeg -loglevel error -y -f x11grab -video_size "${w}x${h}" -i "$DISPLAY+$x,$y" -frames:v 1 "docs/pluma-$language.png"
  kill "$pluma"
  wait "$pluma" 2>/dev/null || true
done
echo "docs/pluma-fr.png docs/pluma-en.png"
