#!/usr/bin/env bash
# orvanta-setup as root on a throwaway Debian cluster that this test makes on a free port
# and drops at the end (never one of the machine's own clusters), with a throwaway pooler
# whose files live in a folder of the test's (ORVANTA_POOLER_ROOT). Desks on this machine use
# exactly the lines it printed: one from a named network, one from a network namespace
# (a veth pair made here) whose address is not named.
#   server_setup_test.sh SETUP RDBCLI PRINTED_LINES_TESTS VERSION
set -euo pipefail

SETUP="$(realpath "$1")"
RDBCLI="$(realpath "$2")"
SUITE="$(realpath "$3")"
VERSION="$4"
export RDBCLI
ORVANTA_SAMPLES="$(realpath "$(dirname "$0")/../../deploy")"
export ORVANTA_SAMPLES

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: needs root (pg_createcluster, network namespaces)"
    exit 77
fi
for tool in pg_createcluster pg_dropcluster pg_ctlcluster pg_lsclusters psql openssl ip ss; do
    command -v "$tool" >/dev/null || fail "$tool is missing"
done

ver="$(ls /usr/lib/postgresql | sort -n | tail -n 1)"
tag="ovsetup$$"
cluster="$ver/$tag"
conf_dir="/etc/postgresql/$ver/$tag"
state_dir="/etc/orvanta/server/$ver-$tag"
veth="ovs$$"
work="$(mktemp -d)"
chmod 0755 "$work"
export ORVANTA_POOLER_ROOT="$work/pooler"
pooler_dir="$ORVANTA_POOLER_ROOT/etc/pgbouncer"
pooler_pidfile="$ORVANTA_POOLER_ROOT/var/run/postgresql/pgbouncer.pid"

# What an earlier run killed before its own clean-up left behind.
while read -r v n _; do
    if [[ "$n" =~ ^ovsetup([0-9]+)$ ]] && ! kill -0 "${BASH_REMATCH[1]}" 2>/dev/null; then
        pg_dropcluster --stop "$v" "$n" || true
        rm -rf "/etc/orvanta/server/$v-$n"
    fi
done < <(pg_lsclusters -h)
for n in $(ip netns list | cut -d' ' -f1); do
    if [[ "$n" =~ ^ovsetup([0-9]+)$ ]] && ! kill -0 "${BASH_REMATCH[1]}" 2>/dev/null; then ip netns del "$n" || true; fi
done

stop_pooler() {
    local pid
    pid="$(cat "$pooler_pidfile" 2>/dev/null || true)"
    if [ -n "$pid" ] && kill -INT "$pid" 2>/dev/null; then
        for _ in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || return 0
            sleep 0.1
        done
    fi
}
cleanup() {
    stop_pooler
    pg_dropcluster --stop "$ver" "$tag" 2>/dev/null || true
    ip netns del "$tag" 2>/dev/null || true
    ip link del "${veth}h" 2>/dev/null || true
    rm -rf "$state_dir" "$work"
    rmdir /etc/orvanta/server /etc/orvanta 2>/dev/null || true
}
trap cleanup EXIT

# Addresses of this test's own: a /30 of the range set aside for network tests.
n=$(($$ % 16384))
net="198.18.$((n / 64))"
host="$net.$((n % 64 * 4 + 1))"
outside="$net.$((n % 64 * 4 + 2))"
ip netns add "$tag"
ip link add "${veth}h" type veth peer name "${veth}n"
ip link set "${veth}n" netns "$tag"
ip addr add "$host/30" dev "${veth}h"
ip link set "${veth}h" up
ip -n "$tag" addr add "$outside/30" dev "${veth}n"
ip -n "$tag" link set "${veth}n" up
ip -n "$tag" link set lo up

# Below the kernel's range for outgoing connections, whose ports a listener cannot share.
free_port() {
    local p
    for _ in $(seq 50); do
        p=$((20000 + RANDOM % 12000))
        if [ -z "$(ss -Hltn "sport = :$p")" ]; then
            echo "$p"
            return
        fi
    done
    fail "no free port"
}
port="$(free_port)"
pooler_port="$(free_port)"
[ "$pooler_port" != "$port" ] || pooler_port="$(free_port)"
pg_createcluster -q --start-conf=manual --locale C.UTF-8 -s "$work/sock" -d "$work/data" -l "$work/server.log" \
    -p "$port" -o fsync=off "$ver" "$tag" -- --no-sync >/dev/null

as_postgres() { runuser -u postgres -- psql -X -q -A -t -v ON_ERROR_STOP=1 -h "$work/sock" -p "$port" "$@"; }
status() { pg_lsclusters -h | while read -r v c _ s _; do if [ "$v/$c" = "$cluster" ]; then echo "$s"; fi; done; }
# Every file the set-up may write, with its mode and owner, and what the catalog holds;
# with "times", also when the server last started and read its configuration.
snapshot() {
    # The state folder may not be there (yet).
    { find "$conf_dir" "$state_dir" "$ORVANTA_POOLER_ROOT/etc" -type f -exec sha256sum {} + 2>/dev/null || true; } | sort -k 2
    { find "$conf_dir" "$state_dir" "$ORVANTA_POOLER_ROOT" -exec stat -c '%n %a %U' {} + 2>/dev/null || true; } | sort
    # The pooler's process, and every time it read its settings again.
    echo "pooler $(cat "$pooler_pidfile" 2>/dev/null) $(grep -c 'got SIGHUP' "$ORVANTA_POOLER_ROOT/var/log/postgresql/pgbouncer.log" 2>/dev/null)"
    if [ "$(status)" = online ]; then
        as_postgres -d postgres -c "SELECT rolname, rolsuper, rolcanlogin, rolpassword FROM pg_authid ORDER BY 1" \
            -c "SELECT roleid::regrole, member::regrole FROM pg_auth_members ORDER BY 1, 2" \
            -c "SELECT datname, shobj_description(oid, 'pg_database') FROM pg_database ORDER BY 1"
        if [ "${1:-}" = times ]; then as_postgres -d postgres -c "SELECT pg_postmaster_start_time(), pg_conf_load_time()"; fi
        for db in $(as_postgres -d postgres -c "SELECT datname FROM pg_database WHERE datname NOT LIKE 'template%'"); do
            as_postgres -d "$db" -c "SELECT relname, relacl, relrowsecurity FROM pg_class WHERE relnamespace = 'public'::regnamespace ORDER BY 1" \
                -c "SELECT * FROM pg_policies ORDER BY 1, 2, 3"
        done
    fi
}
# The lines a run printed: the address, the password-file example (a run that set a
# password), the CA file to copy.
printed() {
    address="$(sed -n 's/^ *SERVER_IP_ADDR=//p' "$1")"
    pgpass_command="$(sed -n '/^     for example:$/{n;s/^       touch /touch /p}' "$1")"
    ca_from="$(sed -n 's/^  3\. The CA certificate: copy \([^ ]*\) from this server to \([^ ]*\) on the desk.*/\1/p' "$1")"
    ca_to="$(sed -n 's/^  3\. The CA certificate: copy \([^ ]*\) from this server to \([^ ]*\) on the desk.*/\2/p' "$1")"
    [ -n "$address" ] && [ -n "$ca_from" ] && [ -n "$ca_to" ] || fail "$1 lacks a desk line: $(cat "$1")"
    [ "${2:-}" != password ] || [ -n "$pgpass_command" ] || fail "$1 lacks the password-file line: $(cat "$1")"
}
# A desk's statement through the client library, with a password file of its own.
desk() { PGPASSFILE="$1" "$RDBCLI" -S "$2" -Q "$3"; }

# ---- the command line -------------------------------------------------------------------
out="$("$SETUP" --help)" || fail "--help failed"
[[ "$out" == "Usage: orvanta-setup "* ]] || fail "--help: $out"
[ "$("$SETUP" --version)" = "orvanta-setup $VERSION" ] || fail "--version: $("$SETUP" --version)"
good=(--cluster "$cluster" --host "$host" --network "$host/32" --customer demo)
for bad in "--bogus" "--network" "--host a_b --network 10.0.0.0/8 --customer c" \
    "--host h --network 10.0.0.0/33 --customer c" "--host h --network 300.0.0.0/8 --customer c" \
    "--host h --customer c" "--network 10.0.0.0/8 --customer c" "--host h --network 10.0.0.0/8" \
    "--host h --network 10.0.0.0/8 --customer c --login Bad-Name" \
    "--host h --network 10.0.0.0/8 --customer c --cert $SETUP" \
    "--host h --network 10.0.0.0/8 --customer c --desk-ca relative/ca.crt" \
    "--add-customer c --host h" "--add-customer c --demo" "--host h --network 10.0.0.0/8 --customer c --cluster main"; do
    read -r -a args <<<"$bad"
    set +e
    "$SETUP" "${args[@]}" >"$work/out" 2>"$work/err"
    code=$?
    set -e
    [ "$code" -eq 2 ] || fail "'$bad': status $code, not 2 ($(cat "$work/err"))"
    [ ! -s "$work/out" ] || fail "'$bad' wrote to standard output"
    grep -q '^Usage: orvanta-setup ' "$work/err" || fail "'$bad': no usage on standard error"
done
set +e
runuser -u nobody -- "$SETUP" "${good[@]}" </dev/null >/dev/null 2>"$work/err"
code=$?
set -e
[ "$code" -eq 1 ] && grep -q 'run me as root' "$work/err" || fail "not root: status $code, $(cat "$work/err")"

# ---- a database it did not make: refused, everything as it was --------------------------
pg_ctlcluster "$ver" "$tag" start
as_postgres -d postgres -c "CREATE DATABASE legacy"
as_postgres -d legacy -c "CREATE TABLE USER_INFO (USER_ID text)"
snapshot >"$work/before-refusal"
pg_ctlcluster "$ver" "$tag" stop
set +e
printf 'pw\n' | "$SETUP" --cluster "$cluster" --database legacy --host "$host" --network "$host/32" --customer demo \
    >"$work/out" 2>"$work/err"
code=$?
set -e
[ "$code" -eq 1 ] && grep -q 'database legacy .* was not made by orvanta-setup' "$work/err" ||
    fail "a database it did not make: status $code, $(cat "$work/err")"
[ "$(status)" = down ] || fail "the refusal left the cluster it had started running"
pg_ctlcluster "$ver" "$tag" start
snapshot >"$work/after-refusal"
diff -u "$work/before-refusal" "$work/after-refusal" || fail "the refusal changed something"
pg_ctlcluster "$ver" "$tag" stop

# ---- a pooler of the operator's own: refused, left as it is --------------------------------
setup_args=(--cluster "$cluster" --host "$host" --host localhost --network "$host/32" --listen "127.0.0.1,$host"
    --demo --login desk --desk-ca "$work/desk/orvanta-ca.crt" --pooler-port "$pooler_port")
install -d "$pooler_dir"
printf '[databases]\nmine = host=/tmp\n[pgbouncer]\nlisten_port = 6543\n' >"$pooler_dir/pgbouncer.ini"
snapshot >"$work/before-own-pooler"
set +e
printf 'pw\n' | "$SETUP" "${setup_args[@]}" >"$work/out" 2>"$work/err"
code=$?
set -e
[ "$code" -eq 1 ] && grep -q "pgbouncer.ini is neither the pgbouncer package's own nor one orvanta-setup wrote.* Move it aside" "$work/err" ||
    fail "the operator's own pooler: status $code, $(cat "$work/err")"
[ "$(status)" = down ] || fail "the refused pooler left the cluster it had started running"
snapshot >"$work/after-own-pooler"
diff -u "$work/before-own-pooler" "$work/after-own-pooler" || fail "the refused pooler changed something"
# The package's own file is replaced (when the machine's is still the package's).
rm "$pooler_dir/pgbouncer.ini"
stock="$(dpkg-query -W -f='${Conffiles}\n' pgbouncer | awk '$1 == "/etc/pgbouncer/pgbouncer.ini" { print $2 }')"
if [ "$(md5sum </etc/pgbouncer/pgbouncer.ini)" = "$stock  -" ]; then
    install -m 0640 -o postgres -g postgres /etc/pgbouncer/pgbouncer.ini "$pooler_dir/pgbouncer.ini"
fi

# ---- the set-up, on a stopped cluster -----------------------------------------------------
# The desk login's password is the one the suite's own cluster support gives `desk`.
readonly desk_password=desk-pw-7f3a
printf '%s\n' "$desk_password" | "$SETUP" "${setup_args[@]}" >"$work/run1" 2>&1 || fail "set-up: $(cat "$work/run1")"
grep -q -- '- started the cluster' "$work/run1" || fail "the stopped cluster was not started: $(cat "$work/run1")"
grep -q -- "- started the pooler on port $pooler_port" "$work/run1" || fail "the pooler was not started: $(cat "$work/run1")"
printed "$work/run1" password
[ "$address" = "postgresql://desk@$host:$pooler_port/orvanta?sslmode=verify-full&sslrootcert=$work/desk/orvanta-ca.crt" ] ||
    fail "printed address $address"
mkdir -p "$work/desk/home"
install -D -m 0644 "$ca_from" "$ca_to"
HOME="$work/desk/home" bash -c "$pgpass_command"
pgpass="$work/desk/home/.pgpass"
[ "$(stat -c %a "$pgpass")" = 600 ] || fail "the printed command leaves ~/.pgpass mode $(stat -c %a "$pgpass")"
[ "$(cat "$pgpass")" = "$host:$pooler_port:orvanta:desk:$desk_password" ] || fail "password file: $(cat "$pgpass")"

# The desk logs in through the pooler over TLS, verified against the printed CA, and sees
# its customer only.
[ "$(desk "$pgpass" "$address" "select USER_ID from USER_INFO order by USER_ID")" = "demo:;" ] ||
    fail "the desk's log-in: $(desk "$pgpass" "$address" "select USER_ID from USER_INFO" 2>&1)"
# A desk may not read the server's session statistics (pg_stat_ssl): psql says how it is
# connected instead. The server sees it come over its socket: from the pooler.
session="$(PGPASSFILE="$pgpass" psql -X -At "$address" -c "select coalesce(inet_client_addr()::text, 'socket')" -c '\conninfo')"
[ "$(head -n 1 <<<"$session")" = socket ] && grep -q "port \"$pooler_port\".*SSL connection (protocol: TLS" <<<"$(tr '\n' ' ' <<<"$session")" ||
    fail "the desk's connection is not TLS through the pooler: $session"
# The pooler's files: its look-up login's password and the TLS key for the pooler's user
# alone; the shipped limits (their effect is tried below).
for file in userlist.txt server.key; do
    [ "$(stat -c '%a %U' "$pooler_dir/$file")" = "600 postgres" ] || fail "the pooler's $file: $(stat -c '%a %U' "$pooler_dir/$file")"
done
grep -q '^"pgbouncer_auth" "[A-Za-z0-9]\{32\}"$' "$pooler_dir/userlist.txt" || fail "the pooler's userlist.txt: $(cat "$pooler_dir/userlist.txt")"
# The running pooler's limits, from its console (the admin user over the socket).
config="$(timeout 10 runuser -u postgres -- psql -X -At -h "$ORVANTA_POOLER_ROOT/var/run/postgresql" -p "$pooler_port" \
    -U postgres pgbouncer -c "SHOW CONFIG")" || fail "the pooler's console does not answer: $config"
for limit in query_timeout idle_transaction_timeout max_user_connections max_client_conn tcp_keepidle tcp_user_timeout; do
    want="$(sed -n "s/^$limit = \([0-9]*\)$/\1/p" "$ORVANTA_SAMPLES/pgbouncer.ini")"
    [ -n "$want" ] && grep -q "^$limit|$want|" <<<"$config" || fail "the pooler's $limit is not the shipped $want: $(grep "^$limit|" <<<"$config")"
done
# Room for every desk the pooler takes (an open file each): under systemd through the unit's
# limit (its default of 1024 would turn desks away beyond about a thousand), and here, started
# without it, through the limit it runs with.
desks_max="$(sed -n 's/^max_client_conn = \([0-9]*\)$/\1/p' "$ORVANTA_SAMPLES/pgbouncer.ini")"
unit_limit="$(sed -n 's/^LimitNOFILE=\([0-9]*\)$/\1/p' "$ORVANTA_POOLER_ROOT/etc/systemd/system/pgbouncer.service.d/orvanta-setup.conf" 2>/dev/null)"
[ -n "$unit_limit" ] && [ "$unit_limit" -gt "$((desks_max + 1000))" ] && grep -q '^\[Service\]$' "$ORVANTA_POOLER_ROOT/etc/systemd/system/pgbouncer.service.d/orvanta-setup.conf" ||
    fail "the pooler's unit gives no room for $desks_max desks: $(cat "$ORVANTA_POOLER_ROOT/etc/systemd/system/pgbouncer.service.d/orvanta-setup.conf" 2>&1)"
running_limit="$(awk '/^Max open files/ {print $4}' "/proc/$(cat "$pooler_pidfile")/limits")"
[ "$running_limit" -gt "$desks_max" ] || fail "the running pooler may open $running_limit files, fewer than its $desks_max desks"
# The key of the site's CA: root's alone.
[ "$(stat -c '%a %U' "$state_dir")" = "700 root" ] && [ "$(stat -c '%a %U' "$state_dir/ca.key")" = "600 root" ] ||
    fail "the CA's key is not root's alone: $(stat -c '%n %a %U' "$state_dir" "$state_dir/ca.key")"
[ "$(stat -c '%a %U' "$conf_dir/orvanta-server.key")" = "600 postgres" ] || fail "the server key's mode"
openssl verify -CAfile "$ca_to" "$conf_dir/orvanta-server.crt" >/dev/null || fail "the server certificate is not the CA's"

# ---- again: nothing changes -----------------------------------------------------------------
snapshot times >"$work/before-again"
"$SETUP" "${setup_args[@]}" </dev/null >"$work/run2" 2>&1 || fail "second run: $(cat "$work/run2")"
grep -q '^Nothing changed' "$work/run2" || fail "the second run does not say that nothing changed: $(cat "$work/run2")"
snapshot times >"$work/after-again"
diff -u "$work/before-again" "$work/after-again" || fail "the second run changed something"
grep -q "^       $host:$pooler_port:orvanta:desk:PASSWORD$" "$work/run2" || fail "the second run's password line: $(cat "$work/run2")"

# ---- who is refused -----------------------------------------------------------------------
refused() {
    local what="$1" want="$2"
    shift 2
    set +e
    "$@" >"$work/out" 2>&1
    local code=$?
    set -e
    [ "$code" -ne 0 ] && grep -q "$want" "$work/out" || fail "$what: status $code, $(cat "$work/out")"
}
# The pooler's settings changed by hand since are the operator's: refused, kept.
cp -p "$pooler_dir/pgbouncer.ini" "$work/pooler.ini"
printf 'max_client_conn = 50\n' >>"$pooler_dir/pgbouncer.ini"
refused "the pooler's settings changed by hand" "is neither the pgbouncer package's own nor one orvanta-setup wrote" \
    "$SETUP" "${setup_args[@]}" </dev/null
grep -q '^max_client_conn = 50$' "$pooler_dir/pgbouncer.ini" || fail "the refusal changed the pooler's settings"
cp -p "$work/pooler.ini" "$pooler_dir/pgbouncer.ini"
# At the pooler: from an address outside the named networks, with every printed line right;
# without TLS; another database; a login that is no desk's.
refused "a desk from a network not named" "login rejected" \
    ip netns exec "$tag" env PGPASSFILE="$pgpass" psql -X -At "$address" -c "select 1"
refused "a desk without TLS" "SSL required" \
    env PGPASSFILE="$pgpass" psql -X -At "postgresql://desk@$host:$pooler_port/orvanta?sslmode=disable" -c "select 1"
refused "a desk asking for another database" "login rejected" \
    env PGPASSFILE="$pgpass" psql -X -At "postgresql://desk@$host:$pooler_port/postgres?sslmode=verify-full&sslrootcert=$ca_to" -c "select 1"
as_postgres -d postgres -c "CREATE ROLE outsider LOGIN PASSWORD 'out-pw'"
admin_password="$(sed -n 's/^"postgres" "\(.*\)"$/\1/p' "$pooler_dir/userlist.txt")"
refused "the pooler's admin user from a named network" "login rejected" \
    env PGPASSWORD="$admin_password" psql -X -At "postgresql://postgres@$host:$pooler_port/orvanta?sslmode=verify-full&sslrootcert=$ca_to" -c "select 1"
refused "the pooler's look-up login from a named network" "login rejected" \
    env PGPASSWORD="$(sed -n 's/^"pgbouncer_auth" "\(.*\)"$/\1/p' "$pooler_dir/userlist.txt")" \
    psql -X -At "postgresql://pgbouncer_auth@$host:$pooler_port/orvanta?sslmode=verify-full&sslrootcert=$ca_to" -c "select 1"
refused "a login that is no desk's" "no such user" \
    env PGPASSWORD=out-pw psql -X -At "postgresql://outsider@$host:$pooler_port/orvanta?sslmode=verify-full&sslrootcert=$ca_to" -c "select 1"
# Straight to the server from a named network, with and without TLS, and from the server's
# own 127.0.0.1 (Debian's lines admit it with a password); the look-up login likewise: only
# the pooler's way in is open.
refused "a desk straight to the server over TLS" "pg_hba.conf rejects connection for host \"$host\", user \"desk\"" \
    env PGPASSFILE="$pgpass" PGPASSWORD="$desk_password" psql -X -At "postgresql://desk@$host:$port/orvanta?sslmode=verify-full&sslrootcert=$ca_to" -c "select 1"
refused "a desk straight to the server without TLS" "pg_hba.conf rejects connection for host \"$host\"" \
    env PGPASSWORD="$desk_password" psql -X -At "postgresql://desk@$host:$port/orvanta?sslmode=disable" -c "select 1"
refused "a desk straight to the server's 127.0.0.1" "pg_hba.conf rejects connection for host \"127.0.0.1\", user \"desk\"" \
    env PGPASSWORD="$desk_password" psql -X -At "postgresql://desk@127.0.0.1:$port/orvanta?sslmode=prefer" -c "select 1"
auth_password="$(sed -n 's/^"pgbouncer_auth" "\(.*\)"$/\1/p' "$pooler_dir/userlist.txt")"
refused "the look-up login over TCP" "pg_hba.conf rejects connection for host \"127.0.0.1\", user \"pgbouncer_auth\"" \
    env PGPASSWORD="$auth_password" psql -X -At "postgresql://pgbouncer_auth@127.0.0.1:$port/orvanta?sslmode=prefer" -c "select 1"

# ---- a second customer --------------------------------------------------------------------
other_password="o'th:er\\pw"
printf '%s\n' "$other_password" | "$SETUP" --cluster "$cluster" --add-customer other --login desk_other >"$work/add" 2>&1 ||
    fail "--add-customer: $(cat "$work/add")"
desk_address="$address"
printed "$work/add" password
[ "$address" = "${desk_address/desk@/desk_other@}" ] || fail "the second customer's address: $address"
mkdir -p "$work/other"
HOME="$work/other" bash -c "$pgpass_command"
[ "$(desk "$work/other/.pgpass" "$address" "select USER_ID from USER_INFO order by USER_ID")" = "other:;" ] ||
    fail "the second customer's log-in: $(desk "$work/other/.pgpass" "$address" "select 1" 2>&1)"
verifier="$(as_postgres -d postgres -c "SELECT rolpassword FROM pg_authid WHERE rolname = 'desk_other'")"
refused "another customer's login" "desk_other exists and is not the desk login of demo" \
    bash -c "printf 'x\n' | '$SETUP' --cluster '$cluster' --add-customer demo --login desk_other"
[ "$(as_postgres -d postgres -c "SELECT rolpassword FROM pg_authid WHERE rolname = 'desk_other'")" = "$verifier" ] ||
    fail "a refused --add-customer changed the login's password"

# ---- a login's desks at the pooler, held to its CONNECTION LIMIT -----------------------------
# Desks of customer demo that stay logged in, each reading its statements from a pipe of
# its own (fd 7, 8, 9) until the pipe is closed.
hold() {
    local fd="$1"
    rm -f "$work/hold$fd" && mkfifo "$work/hold$fd"
    PGPASSFILE="$pgpass" psql -X -At "$desk_address" <"$work/hold$fd" >"$work/hold$fd.out" 2>&1 &
    eval "exec $fd>\"\$work/hold$fd\""
    echo "select 'held';" >&"$fd"
    for _ in $(seq 100); do
        grep -q '^held$' "$work/hold$fd.out" && return 0
        sleep 0.1
    done
    fail "a desk of demo did not log in: $(cat "$work/hold$fd.out")"
}
release() { eval "exec $1>&-"; }
in_at_pooler() { desk "$1" "$2" "select 1" >"$work/in.out" 2>&1; }
as_postgres -d postgres -c "ALTER ROLE desk CONNECTION LIMIT 2"
hold 7
hold 8
in_at_pooler "$pgpass" "$desk_address" && fail "a third desk of a login limited to two was let in"
grep -q 'ERROR:  login desk already has 2 desks logged in at the pooler, its CONNECTION LIMIT' "$work/server.log" ||
    fail "the refusal is not in the server's log: $(tail -n 5 "$work/server.log")"
in_at_pooler "$work/other/.pgpass" "$address" || fail "customer other was kept out by demo's desks: $(cat "$work/in.out")"
# -1 is no limit.
as_postgres -d postgres -c "ALTER ROLE desk CONNECTION LIMIT -1"
hold 9
release 9
as_postgres -d postgres -c "ALTER ROLE desk CONNECTION LIMIT 2"
# A desk that leaves gives its place to the next.
release 8
for _ in $(seq 50); do
    in_at_pooler "$pgpass" "$desk_address" && break
    sleep 0.1
done
in_at_pooler "$pgpass" "$desk_address" || fail "a desk was refused after another of its login left: $(cat "$work/in.out")"
# A console that does not answer keeps no desk out: the look-up says so in the server's log.
as_postgres -d orvanta -c "CREATE OR REPLACE FUNCTION pgbouncer.console() RETURNS text LANGUAGE sql AS \$\$ SELECT 'host=$work/nowhere port=1 dbname=pgbouncer user=postgres' \$\$" \
    -c "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE usename = 'pgbouncer_auth'" >/dev/null
hold 8
in_at_pooler "$pgpass" "$desk_address" || fail "a desk was refused while the console did not answer: $(cat "$work/in.out")"
grep -q "WARNING:  the pooler's console does not answer (.*): desk logs in without its client limit" "$work/server.log" ||
    fail "no warning of the silent console: $(tail -n 5 "$work/server.log")"
release 7
release 8
"$SETUP" "${setup_args[@]}" </dev/null >"$work/run-console" 2>&1 || fail "the set-up after the console's change: $(cat "$work/run-console")"
[ "$(as_postgres -d orvanta -c "SELECT pgbouncer.console()")" = "host=$ORVANTA_POOLER_ROOT/var/run/postgresql port=$pooler_port dbname=pgbouncer user=postgres" ] ||
    fail "the set-up did not put the console back: $(as_postgres -d orvanta -c "SELECT pgbouncer.console()")"
as_postgres -d postgres -c "ALTER ROLE desk CONNECTION LIMIT 40"

# ---- limits no desk lifts ----------------------------------------------------------------
# Customer other lifts its login's statement limit and sleeps: the pooler's query_timeout (45 s)
# ends it, while the checks below run.
other_pgpass="$work/other/.pgpass"
other_address="${desk_address/desk@/desk_other@}"
(
    start=$SECONDS
    set +e
    PGPASSFILE="$other_pgpass" timeout 90 psql -X -At "$other_address" -c "BEGIN" -c "SET LOCAL statement_timeout = 0" \
        -c "SELECT pg_sleep(3600)" \
        >"$work/sleeper.out" 2>&1
    echo "status $? after $((SECONDS - start)) s" >>"$work/sleeper.out"
) &
sleeper=$!
# Customer other lifts its login's idle-transaction limit and leaves a transaction open
# holding a lock on the agents' table (the one a desk may lock: it deletes agents): the
# pooler's idle_transaction_timeout (10 s) drops it,
# and customer demo's statement on that table, sent at once, is answered within its
# login's lock_timeout (15 s).
{
    echo "BEGIN;"
    echo "SET LOCAL idle_in_transaction_session_timeout = 0;"
    echo "LOCK TABLE USER_AGENT_INFO IN ACCESS EXCLUSIVE MODE;"
    echo "SELECT 'locked';"
    sleep 16
    echo "SELECT 'still in the transaction';"
} | PGPASSFILE="$other_pgpass" psql -X -At "$other_address" >"$work/locker.out" 2>&1 &
locker=$!
for _ in $(seq 100); do
    grep -q '^locked$' "$work/locker.out" && break
    sleep 0.1
done
grep -q '^locked$' "$work/locker.out" || fail "customer other could not take the lock: $(cat "$work/locker.out")"
start=$SECONDS
answer="$(desk "$pgpass" "$desk_address" "select count(*) from USER_AGENT_INFO" 2>&1)" ||
    fail "customer demo's statement while other held the lock: $answer"
[ "$((SECONDS - start))" -le 15 ] || fail "customer demo waited $((SECONDS - start)) s for other's lock"
wait "$locker" || true
grep -q 'idle transaction timeout' "$work/locker.out" && ! grep -q 'still in the transaction' "$work/locker.out" ||
    fail "the idle transaction was not ended by the pooler: $(cat "$work/locker.out")"

# ---- the operator's own certificate ----------------------------------------------------------
own="$work/own"
mkdir -p "$own"
make_cert() { # NAME CA SAN [DAYS]
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "/CN=$1" \
        -keyout "$own/$1.key" -out "$own/$1.csr" 2>/dev/null
    printf 'subjectAltName = %s\n' "$3" >"$own/$1.ext"
    openssl x509 -req -in "$own/$1.csr" -CA "$own/$2.crt" -CAkey "$own/$2.key" -CAcreateserial -days "${4:-365}" \
        -extfile "$own/$1.ext" -out "$own/$1.crt" 2>/dev/null
}
for ca_name in site_ca stranger_ca; do
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 365 -subj "/CN=$ca_name" \
        -keyout "$own/$ca_name.key" -out "$own/$ca_name.crt" 2>/dev/null
done
make_cert server site_ca "IP:$host, DNS:localhost"
make_cert elsewhere site_ca "DNS:elsewhere.example"
make_cert soon site_ca "IP:$host, DNS:localhost" 10
own_args=("${setup_args[@]}" --cert "$own/server.crt" --key "$own/server.key" --ca "$own/site_ca.crt")
snapshot times >"$work/before-own"
refused "a certificate that does not name the host" "does not name every --host" \
    "$SETUP" "${setup_args[@]}" --cert "$own/elsewhere.crt" --key "$own/elsewhere.key" --ca "$own/site_ca.crt"
refused "the key of another certificate" "is not the key of" \
    "$SETUP" "${setup_args[@]}" --cert "$own/server.crt" --key "$own/elsewhere.key" --ca "$own/site_ca.crt"
refused "a CA that did not sign it" "did not sign" \
    "$SETUP" "${setup_args[@]}" --cert "$own/server.crt" --key "$own/server.key" --ca "$own/stranger_ca.crt"
refused "a certificate about to end" "ends within 30 days" \
    "$SETUP" "${setup_args[@]}" --cert "$own/soon.crt" --key "$own/soon.key" --ca "$own/site_ca.crt"
snapshot times >"$work/after-own"
diff -u "$work/before-own" "$work/after-own" || fail "a refused certificate changed something"
"$SETUP" "${own_args[@]}" </dev/null >"$work/run-own" 2>&1 || fail "the own certificate: $(cat "$work/run-own")"
printed "$work/run-own"
cmp -s "$ca_from" "$own/site_ca.crt" || fail "the desks are not given the operator's CA"
install -m 0644 "$ca_from" "$ca_to"
[ "$(desk "$pgpass" "$desk_address" "select USER_ID from USER_INFO")" = "demo:;" ] ||
    fail "a desk with the operator's CA: $(desk "$pgpass" "$desk_address" "select 1" 2>&1)"

# The statement suite renames the database, which the sleeper is still in.
wait "$sleeper" || true
grep -q 'FATAL:  query timeout' "$work/sleeper.out" && grep -q 'after 4[4-9] s' "$work/sleeper.out" ||
    fail "a desk's lifted statement limit was not bounded by the pooler: $(cat "$work/sleeper.out")"

# ---- the statement suite through the printed lines ----------------------------------------
# The suite's own administrative connection: the cluster's superuser over the socket; and
# its filling of the fixture database as the desk login over loopback (never the printed
# database, which desks reach through the pooler only).
sed -i -e "1i local all postgres trust" -e "1i host suite_fixture desk 127.0.0.1/32 scram-sha-256" "$conf_dir/pg_hba.conf"
pg_ctlcluster "$ver" "$tag" reload
(umask 077 && grep -o "$host:$pooler_port:orvanta:desk:.*" "$pgpass" >"$work/suite.pgpass")
SETUP_SOCKET_DIR="$work/sock" SETUP_PORT="$port" SETUP_DATABASE=orvanta SETUP_ADDRESS="$desk_address" \
    SETUP_PGPASS="$work/suite.pgpass" "$SUITE" || fail "the statement suite through the printed lines"

# ---- a site set up before desks came through the pooler ------------------------------------
# Its pg_hba.conf block admits desks straight from their networks, the pooler has the
# package's own settings (or none), and neither the look-up login nor the state's pooler
# lines exist: running the set-up again converts it.
stop_pooler
rm -f "$pooler_dir"/*
if [ -n "$stock" ]; then install -m 0640 -o postgres -g postgres /etc/pgbouncer/pgbouncer.ini "$pooler_dir/pgbouncer.ini"; fi
as_postgres -d orvanta -c "DROP SCHEMA pgbouncer CASCADE" -c "DROP ROLE pgbouncer_auth"
sed -i '/^pooler_port=\|^auth_sql=/d' "$state_dir/setup.conf"
awk -v net="$host/32" '
    /^# orvanta-setup: begin/ { print; printf "hostnossl all all %s reject\nhostssl orvanta +orvanta_desk %s scram-sha-256\n", net, net; skip = 1; next }
    /^# orvanta-setup: end/ { skip = 0 }
    !skip' "$conf_dir/pg_hba.conf" >"$work/old-hba"
cat "$work/old-hba" >"$conf_dir/pg_hba.conf"
pg_ctlcluster "$ver" "$tag" reload
sleep 1
[ "$(PGPASSWORD="$desk_password" psql -X -At "postgresql://desk@$host:$port/orvanta?sslmode=verify-full&sslrootcert=$ca_to" -c "select 1")" = 1 ] ||
    fail "the old site's direct desk line does not admit the desk"
"$SETUP" "${own_args[@]}" </dev/null >"$work/run-convert" 2>&1 || fail "the conversion: $(cat "$work/run-convert")"
grep -q -- "- started the pooler on port $pooler_port" "$work/run-convert" || fail "the conversion did not start the pooler: $(cat "$work/run-convert")"
[ "$(desk "$pgpass" "$desk_address" "select USER_ID from USER_INFO")" = "demo:;" ] ||
    fail "a desk after the conversion: $(desk "$pgpass" "$desk_address" "select 1" 2>&1)"
refused "a desk straight to the converted server" "pg_hba.conf rejects connection for host \"$host\", user \"desk\"" \
    env PGPASSWORD="$desk_password" psql -X -At "postgresql://desk@$host:$port/orvanta?sslmode=verify-full&sslrootcert=$ca_to" -c "select 1"
echo "PASS"
