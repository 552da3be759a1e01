#!/usr/bin/env bash
# The bulk paths against the machine's floor, measured in the same run: sqlite3's own .import of the batch's
# distinct lines and one INSERT ... SELECT into a store made by `korvel --init` (write-ahead log, synchronous
# FULL), against
#   - the window's batch of 1,000,000 lines (730,000 distinct), from the click on 增加关键词 to the result message,
#     under a real X server (Xvfb), pasted with Ctrl+V first as an operator would, and the same batch again;
#   - `korvel import` of the same lines from a file, and the same file again (all duplicates).
# The machine is shared and noisy: each round measures the floor before and after its paths and gives every
# figure as seconds and as a ratio to the mean of that round's two floors.
# With --big STORE: a store of 10,000,000 keywords (built with bench_sorting_loop --scale 10 when STORE is
# missing) takes a batch of 1,000,000 lines through the window, 800,000 of them among its keywords; the peak
# memory of the program is printed, and the store is put back as it was afterwards. Start-up on that store is
# measured with bench_sorting_loop --startup.
# Usage: bench/bulk_x11.sh [BUILD_DIR] [--rounds N] [--big STORE] [--no-window]
# Needs sqlite3, xvfb, xdotool and xclip.
set -u
build=build
rounds=1
big=""
window=1
while [[ $# -gt 0 ]]; do
    case $1 in
    --rounds) rounds=$2; shift ;;
    --big) big=$2; shift ;;
    --no-window) window=0 ;;
    *) build=$1 ;;
    esac
    shift
done
for tool in sqlite3 Xvfb xdotool xclip; do
    command -v $tool >/dev/null || { echo "needs $tool (apt-get install sqlite3 xvfb xdotool xclip)"; exit 2; }
done
korvel=$(realpath "$build/korvel")
work=$(mktemp -d)
kpid=""
xpid=""
cleanup() {
    [[ -n $kpid ]] && kill "$kpid" 2>/dev/null
    [[ -n $xpid ]] && kill "$xpid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s%N; }
seconds() { awk -v ns="$1" 'BEGIN { printf "%.2f", ns / 1e9 }'; }

# 1,000,000 lines, 730,000 distinct: the first 730,000 are all different, the rest repeat them, half of those
# with their ASCII letters in capitals.
awk 'BEGIN { n = split("手机 价格 Phone 评测 推荐 附近 哪个好", w, " ");
    for (i = 0; i < 1000000; i++) { k = (i * 7919) % 730000; s = sprintf("%s %s %d", w[k % 7 + 1], w[int(k / 7) % 7 + 1], k);
        if (i >= 730000 && i % 2) s = toupper(s); print s } }' >"$work/lines.txt"
head -n 730000 "$work/lines.txt" >"$work/distinct.txt"
echo "batch: 1,000,000 lines, 730,000 distinct, $(($(stat -c %s "$work/lines.txt") / 1000000)) MB"

floor() {
    rm -f "$work/floor.db"*
    "$korvel" --init "$work/floor.db" >/dev/null || exit 1
    local start=$(now)
    sqlite3 "$work/floor.db" <<EOF || exit 1
PRAGMA synchronous = FULL;
.mode ascii
.separator "\037" "\n"
CREATE TEMP TABLE batch(k TEXT);
.import --schema temp $work/distinct.txt batch
INSERT INTO Korvels(keywords, isSet, statue, statue1) SELECT k, 0, 0, 0 FROM batch;
EOF
    echo $(($(now) - start))
}

# The X server and the window, once for the script.
start_x() {
    for n in $(seq 70 99); do [[ -e /tmp/.X$n-lock ]] || { disp=:$n; break; }; done
    Xvfb "$disp" -screen 0 1280x1024x24 >/dev/null 2>&1 &
    xpid=$!
    export DISPLAY=$disp QT_QPA_PLATFORM=xcb
    for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
}

# Opens STORE in the window and its 增加关键词 dialog, and pastes FILE into the dialog's box.
open_dialog() {
    "$korvel" --db "$1" >/dev/null 2>&1 &
    kpid=$!
    local main
    main=$(xdotool search --sync --onlyvisible --name '^关键词分类$' | head -1)
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$main")"
    # 增加关键词 sits at (141, 23) in the main window's client area.
    xdotool mousemove $((X + 160)) $((Y + 28)) click 1
    dialog=$(xdotool search --sync --onlyvisible --name '^增加关键词$' | head -1)
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$dialog")"
    dx=$X
    dy=$Y
    xdotool windowfocus --sync "$dialog" mousemove $((dx + 150)) $((dy + 150)) click 1
    xclip -selection clipboard -i "$2"
    # Ctrl+A after the paste makes the program own the primary selection, which it can do only once the paste
    # is done.
    echo x | xclip -selection primary -i
    xdotool key ctrl+v ctrl+a
    until xclip -o -selection primary -t TARGETS 2>/dev/null | grep -q 'text/plain'; do sleep 0.05; done
    sleep 1
}

# Clicks 增加关键词 in the dialog and prints the nanoseconds until the result message is shown; answers it.
add_batch() {
    local start end message
    start=$(now)
    xdotool mousemove $((dx + 197)) $((dy + 15)) click 1
    # Looked for ten times a second: asking the X server more often takes a good part of a core from the program
    # on a two-core machine. The figure may be up to 0.1 s late.
    until message=$(xdotool search --onlyvisible --name '^提示$' 2>/dev/null | head -1) && [[ -n $message ]]; do
        sleep 0.1
    done
    end=$(now)
    echo $((end - start))
    sleep 0.3
    xdotool windowfocus --sync "$message" key Return
    while xdotool search --onlyvisible --name '^提示$' >/dev/null 2>&1; do sleep 0.05; done
}

peak_mb() { awk '/VmHWM/ { printf "%.0f", $2 / 1024 }' "/proc/$kpid/status"; }

close_window() {
    kill "$kpid" 2>/dev/null
    wait "$kpid" 2>/dev/null
    kpid=""
}

report() { # what, nanoseconds, floor nanoseconds
    printf "  %-58s %6s s  %5sx the floor\n" "$1" "$(seconds "$2")" "$(awk -v a="$2" -v f="$3" 'BEGIN { printf "%.2f", a / f }')"
}

[[ $window == 1 || -n $big ]] && start_x
for round in $(seq "$rounds"); do
    echo "round $round"
    f1=$(floor)
    rm -f "$work/import.db"*
    "$korvel" --init "$work/import.db" >/dev/null
    start=$(now)
    "$korvel" --db "$work/import.db" import "$work/lines.txt" >/dev/null || exit 1
    import=$(($(now) - start))
    start=$(now)
    "$korvel" --db "$work/import.db" import "$work/lines.txt" >/dev/null || exit 1
    again=$(($(now) - start))
    if [[ $window == 1 ]]; then
        rm -f "$work/window.db"*
        "$korvel" --init "$work/window.db" --sample >/dev/null
        open_dialog "$work/window.db" "$work/lines.txt"
        w1=$(add_batch)
        w2=$(add_batch)
        peak=$(peak_mb)
        close_window
    fi
    f2=$(floor)
    f=$(((f1 + f2) / 2))
    echo "  floor: $(seconds "$f1") s before, $(seconds "$f2") s after"
    echo "  rows stored by korvel import: $(sqlite3 "$work/import.db" "SELECT count(*) FROM Korvels") (730,000 expected)"
    report "korvel import of the 1,000,000-line file" "$import" "$f"
    report "korvel import of the same file again (all duplicates)" "$again" "$f"
    if [[ $window == 1 ]]; then
        report "the window's batch, from the click to the result message" "$w1" "$f"
        report "the window's batch again (all duplicates)" "$w2" "$f"
        echo "  the window's peak memory: $peak MB"
    fi
done

if [[ -n $big ]]; then
    if [[ ! -e $big ]]; then
        echo "building $big (10,000,000 keywords)"
        "$build/bench/bench_sorting_loop" --scale 10 --startup "$big" >/dev/null || exit 1
    fi
    top=$(sqlite3 "$big" "SELECT max(id) FROM Korvels")
    # 800,000 stored keywords spread over every id, each fifth line a new one.
    sqlite3 "$big" "SELECT keywords FROM Korvels WHERE id % 25 < 2 LIMIT 800000" >"$work/stored.txt"
    awk '{ print; if (NR % 4 == 0) printf "每月新词 %d\n", NR }' "$work/stored.txt" >"$work/refresh.txt"
    echo "10,000,000 store: $(sqlite3 "$big" "SELECT count(*) FROM Korvels") keywords; batch of $(wc -l <"$work/refresh.txt") lines, $(wc -l <"$work/stored.txt") of them stored"
    f1=$(floor)
    cat "$big" "$big-wal" >/dev/null 2>&1
    open_dialog "$big" "$work/refresh.txt"
    w=$(add_batch)
    peak=$(peak_mb)
    close_window
    f2=$(floor)
    f=$(((f1 + f2) / 2))
    echo "  floor: $(seconds "$f1") s before, $(seconds "$f2") s after"
    report "re-importing 1,000,000 lines into the 10,000,000 store" "$w" "$f"
    echo "  the window's peak memory: $peak MB; rows added: $(sqlite3 "$big" "SELECT count(*) FROM Korvels WHERE id > $top") (200,000 expected)"
    sqlite3 "$big" "DELETE FROM Korvels WHERE id > $top"
    "$build/bench/bench_sorting_loop" --startup "$big"
fi
