#!/usr/bin/env bash
# Pastes 1,000,000 keywords (about 30 MB) into 增加关键词 with Ctrl+V under a real X server, as an operator
# would: the keywords are put on the clipboard with xclip and the keys are typed with xdotool. Prints how long
# the program takes from Ctrl+V until it has the text in the box and answers keys again, then how long it
# takes to answer a key that moves to the end of the box and one that types a letter there.
# Usage: bench/paste_x11.sh [BUILD_DIR] [LINES]   (default: build, 1000000). Needs xvfb, xdotool and xclip.
set -u
build=${1:-build}
lines=${2:-1000000}
for tool in Xvfb xdotool xclip; do command -v $tool >/dev/null || { echo "needs $tool (apt-get install xvfb xdotool xclip)"; exit 2; }; done
work=$(mktemp -d)
for n in $(seq 70 99); do [[ -e /tmp/.X$n-lock ]] || { disp=:$n; break; }; done
Xvfb "$disp" -screen 0 1280x1024x24 >/dev/null 2>&1 & xpid=$!
trap 'kill $kpid $xpid 2>/dev/null; pkill -f "xclip -selection" 2>/dev/null; rm -rf "$work"' EXIT
export DISPLAY=$disp QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# A store with keywords to sort, so that the window opens without a message.
"$build/korvel" --init "$work/Data.db" --sample >/dev/null
"$build/korvel" --db "$work/Data.db" & kpid=$!
main=$(xdotool search --sync --onlyvisible --name '^关键词分类$' | head -1)
sleep 1
eval "$(xdotool getwindowgeometry --shell "$main")"
# 增加关键词 sits at (141, 23) in the window's client area.
xdotool mousemove $((X + 160)) $((Y + 28)) click 1
dialog=$(xdotool search --sync --onlyvisible --name '^增加关键词$' | head -1)
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$dialog")"
xdotool windowfocus --sync "$dialog" mousemove $((X + 150)) $((Y + 150)) click 1

awk -v n="$lines" 'BEGIN { for (i = 0; i < n; i++) printf "粘贴测试关键词 %07d 手机价格\n", i }' >"$work/keywords.txt"
echo "clipboard: $lines lines, $(($(stat -c %s "$work/keywords.txt") / 1000000)) MB"
xclip -selection clipboard -i "$work/keywords.txt"
# Whoever owns the primary selection now is not the program; Ctrl+A in the box makes it the owner, which it
# can only do once the paste before it is done.
echo x | xclip -selection primary -i
start=$(date +%s%N)
xdotool key ctrl+v ctrl+a
until xclip -o -selection primary -t TARGETS 2>/dev/null | grep -q 'text/plain'; do sleep 0.02; done
end=$(date +%s%N)
echo "Ctrl+V until the box answers again: $(((end - start) / 1000000)) ms"

# Afterwards: a key that moves to the end, then a letter typed there, each until the program answers.
for keys in "ctrl+End shift+Up" "x shift+Left"; do
    echo x | xclip -selection primary -i
    start=$(date +%s%N)
    xdotool key $keys
    until xclip -o -selection primary -t TARGETS 2>/dev/null | grep -q 'text/plain'; do sleep 0.01; done
    end=$(date +%s%N)
    echo "keys '$keys' answered in: $(((end - start) / 1000000)) ms"
done
