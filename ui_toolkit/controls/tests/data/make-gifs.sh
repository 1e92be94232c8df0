#!/usr/bin/env bash
# Remakes the animated-image fixtures of the further controls' tests:
#   three.gif        20 x 20, red / green / blue frames, delays 10, 0 and 25
#                    hundredths of a second
#   single.gif       one yellow frame
#   short-delays.gif three frames of which only the first carries a graphic
#                    control block, so a reader may report fewer delays than
#                    frames
# Needs ImageMagick's convert and python3.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 20x20 -delay 10 xc:'#FF0000' -delay 0 xc:'#00FF00' -delay 25 xc:'#0000FF' -loop 0 three.gif
convert -size 20x20 xc:'#FFFF00' single.gif
convert -size 20x20 -delay 30 xc:'#FF0000' xc:'#00FF00' xc:'#0000FF' -loop 0 short-delays.gif
# Drop the graphic control blocks (21 F9 04 <4 bytes> 00) of every frame but
# the first.
python3 - short-delays.gif <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
marker = b'\x21\xf9\x04'
first = data.find(marker)
out = data[:first + 8]
rest = data[first + 8:]
while True:
    at = rest.find(marker)
    if at < 0 or rest[at + 7] != 0:
        out += rest
        break
    out += rest[:at]
    rest = rest[at + 8:]
open(path, 'wb').write(bytes(out))
PY
