#!/bin/sh
# Stands in for volta in PLUMA's tests. Writes $STANDIN_BYTES bytes under
# the name volta would give the track (or under the short name NN.ext when
# $STANDIN_NAME is "short"; an empty file when $STANDIN_EMPTY is set),
# appends its arguments as one line to
# $STANDIN_RECORD, then sleeps $STANDIN_SLEEP seconds; with
# $STANDIN_IGNORE_TERM set it ignores SIGTERM from the start.
[ -n "$STANDIN_IGNORE_TERM" ] && trap '' TERM
extension=.wav
base=
for word in "$@"; do
  case $word in
    /eb*) extension=.mp3 ;;
    /ew*) extension=.wma ;;
    *'$2di') base=${word%'$2di'} ;;
  esac
  track=$word
done
number=$(printf '%02d' "$track")
name=$(printf '%s' "$base$number" | tr '\\' '/')$extension
if [ "$STANDIN_NAME" = short ]; then
  name=MP3s/$number$extension
fi
if [ -n "$STANDIN_EMPTY" ]; then
  : > "$name"
elif [ "${STANDIN_BYTES:-0}" -gt 0 ]; then
  head -c "$STANDIN_BYTES" /dev/zero > "$name"
fi
printf '%s\n' "$*" >> "$STANDIN_RECORD"
exec sleep "${STANDIN_SLEEP:-0}"
