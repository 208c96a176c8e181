#!/bin/sh
# Starts the real vormlan.exe on the (virtual) display, waits for the window
# titled "Vormlan", takes a screenshot and leaves through the Exit button's
# mnemonic (Alt+E). Fails when the window does not appear, the screenshot is
# blank, or the program does not end with exit code 0.
# $1: the build's wine-run wrapper; $2: vormlan.exe; $3: the screenshot file.
# The prefix's wine server (perhaps started without a display by another
# suite) must end before the program can open a window.
set -u
run="$1"
exe="$2"
shot="$3"
"$run" --server -w

"$run" "$exe" &
pid=$!

wid=""
i=0
while [ $i -lt 60 ]; do
  wid=$(xdotool search --name '^Vormlan$' 2>/dev/null | head -1)
  [ -n "$wid" ] && break
  sleep 0.5
  i=$((i + 1))
done
if [ -z "$wid" ]; then
  echo "FAIL: no window titled Vormlan appeared"
  kill $pid 2>/dev/null
  exit 1
fi
sleep 2

import -window root "$shot"
mean=$(convert "$shot" -format '%[fx:mean]' info:)
echo "screenshot $shot (mean brightness $mean)"
if [ "$(echo "$mean" | awk '{ print ($1 > 0.02) }')" != 1 ]; then
  echo "FAIL: the screenshot is blank"
  kill $pid 2>/dev/null
  exit 1
fi

xdotool windowfocus "$wid" 2>/dev/null
xdotool key alt+e
i=0
while kill -0 $pid 2>/dev/null && [ $i -lt 40 ]; do
  sleep 0.5
  i=$((i + 1))
done
if kill -0 $pid 2>/dev/null; then
  echo "FAIL: the program did not end after Exit"
  kill $pid
  exit 1
fi
wait $pid
code=$?
echo "exit code $code"
[ $code -eq 0 ]
