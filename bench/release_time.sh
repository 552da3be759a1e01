#!/usr/bin/env bash
# How long the server keeps the keyword of a window whose network is cut while the rest of the team works on.
# A server of its own runs in a network namespace, one window in another namespace reaches it over a veth pair,
# and the pair is cut once that window holds a keyword; another window, over the server's Unix socket, files a
# keyword every 100 ms (so the server keeps notifying the window cut off) and says when the keyword is free.
# Run as root (namespaces, and the server runs as the user postgres): bench/release_time.sh [BUILD_DIR]
set -euo pipefail
build=$(realpath "${1:-build-test}")
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
id=$$
srv=kvsrv$id cli=kvcli$id
dir=$(mktemp -d /tmp/korvel-release.XXXXXX)
chmod 755 "$dir"
chown postgres: "$dir"
holder=
cleanup() {
    [ -z "$holder" ] || kill "$holder" 2>/dev/null || true
    runuser -u postgres -- "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    ip netns del "$srv" 2>/dev/null || true
    ip netns del "$cli" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
ip netns add "$srv"
ip netns add "$cli"
ip link add "kvs$id" type veth peer name "kvc$id"
ip link set "kvs$id" netns "$srv"
ip link set "kvc$id" netns "$cli"
ip -n "$srv" addr add 10.231.0.1/24 dev "kvs$id"
ip -n "$cli" addr add 10.231.0.2/24 dev "kvc$id"
for ns in "$srv" "$cli"; do ip -n "$ns" link set lo up; done
ip -n "$srv" link set "kvs$id" up
ip -n "$cli" link set "kvc$id" up

runuser -u postgres -- "$bin/initdb" -D "$dir/data" -U korvel_admin -A trust -E UTF8 --locale=C.UTF-8 --no-sync \
    >"$dir/initdb.log"
echo "host all all 10.231.0.0/24 trust" >>"$dir/data/pg_hba.conf"
ip netns exec "$srv" runuser -u postgres -- "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "-k $dir -p 5434 -c listen_addresses=10.231.0.1 -c fsync=off" start >/dev/null
psql=(runuser -u postgres -- "$bin/psql" -h "$dir" -p 5434 -q -v ON_ERROR_STOP=1)
"${psql[@]}" -U korvel_admin -d postgres -c "CREATE ROLE korvel_owner LOGIN" -c "CREATE ROLE korvel_operator LOGIN" \
    -c "CREATE DATABASE korvel_test OWNER korvel_owner"
local="host=$dir port=5434 dbname=korvel_test"
"$build/korvel" --init "$local user=korvel_owner"
operator=korvel_operator
# A program without roles of its own runs every window as the owner.
"$build/korvel" --db "$local user=korvel_owner" --grant korvel_operator 2>/dev/null || operator=korvel_owner
"${psql[@]}" -U korvel_owner -d korvel_test -c "INSERT INTO Korvels(keywords) SELECT 'k' || g FROM generate_series(1, 20000) g"

ip netns exec "$cli" "$build/bench/bench_release" hold \
    "hostaddr=10.231.0.1 port=5434 dbname=korvel_test user=$operator" >"$dir/hold.out" &
holder=$!
for _ in $(seq 100); do [ -s "$dir/hold.out" ] && break; sleep 0.1; done
held=$(head -1 "$dir/hold.out")
[ -n "$held" ] || { echo "the window over the network held no keyword"; exit 1; }
sleep 1
ip -n "$cli" link set "kvc$id" down
echo "window over the network holds keyword $held; its network is cut now"
"$build/bench/bench_release" wait "$local user=$operator" "$held"
