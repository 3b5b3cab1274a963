#!/usr/bin/env bash
# orvanta-setup as root on a throwaway Debian cluster that this test makes on a free port
# and drops at the end (never one of the machine's own clusters). Desks on this machine use
# exactly the lines it printed: one from a named network, one from a network namespace
# (a veth pair made here) whose address is not named.
#   server_setup_test.sh SETUP RDBCLI PRINTED_LINES_TESTS VERSION
set -euo pipefail

SETUP="$(realpath "$1")"
RDBCLI="$(realpath "$2")"
SUITE="$(realpath "$3")"
VERSION="$4"
export RDBCLI

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

cleanup() {
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

port=0
for _ in $(seq 50); do
    p=$((20000 + RANDOM % 40000))
    if [ -z "$(ss -Hltn "sport = :$p")" ]; then
        port=$p
        break
    fi
done
[ "$port" -ne 0 ] || fail "no free port"
pg_createcluster -q --start-conf=manual --locale C.UTF-8 -s "$work/sock" -d "$work/data" -l "$work/server.log" \
    -p "$port" -o fsync=off "$ver" "$tag" -- --no-sync >/dev/null

as_postgres() { runuser -u postgres -- psql -X -q -A -t -v ON_ERROR_STOP=1 -h "$work/sock" -p "$port" "$@"; }
status() { pg_lsclusters -h | while read -r v c _ s _; do if [ "$v/$c" = "$cluster" ]; then echo "$s"; fi; done; }
# Every file the set-up may write, with its mode and owner, and what the catalog holds;
# with "times", also when the server last started and read its configuration.
snapshot() {
    # The state folder may not be there (yet).
    { find "$conf_dir" "$state_dir" -type f -exec sha256sum {} + 2>/dev/null || true; } | sort -k 2
    { find "$conf_dir" "$state_dir" -exec stat -c '%n %a %U' {} + 2>/dev/null || true; } | sort
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

# ---- the set-up, on a stopped cluster -----------------------------------------------------
# The desk login's password is the one the suite's own cluster support gives `desk`.
readonly desk_password=desk-pw-7f3a
setup_args=(--cluster "$cluster" --host "$host" --host localhost --network "$host/32" --listen "127.0.0.1,$host"
    --demo --login desk --desk-ca "$work/desk/orvanta-ca.crt")
printf '%s\n' "$desk_password" | "$SETUP" "${setup_args[@]}" >"$work/run1" 2>&1 || fail "set-up: $(cat "$work/run1")"
grep -q -- '- started the cluster' "$work/run1" || fail "the stopped cluster was not started: $(cat "$work/run1")"
printed "$work/run1" password
[ "$address" = "postgresql://desk@$host:$port/orvanta?sslmode=verify-full&sslrootcert=$work/desk/orvanta-ca.crt" ] ||
    fail "printed address $address"
mkdir -p "$work/desk/home"
install -D -m 0644 "$ca_from" "$ca_to"
HOME="$work/desk/home" bash -c "$pgpass_command"
pgpass="$work/desk/home/.pgpass"
[ "$(stat -c %a "$pgpass")" = 600 ] || fail "the printed command leaves ~/.pgpass mode $(stat -c %a "$pgpass")"
[ "$(cat "$pgpass")" = "$host:$port:orvanta:desk:$desk_password" ] || fail "password file: $(cat "$pgpass")"

# The desk logs in over TLS, verified against the printed CA, and sees its customer only.
[ "$(desk "$pgpass" "$address" "select USER_ID from USER_INFO order by USER_ID")" = "demo:;" ] ||
    fail "the desk's log-in: $(desk "$pgpass" "$address" "select USER_ID from USER_INFO" 2>&1)"
# A desk may not read the server's session statistics (pg_stat_ssl): psql says how it is
# connected instead.
session="$(PGPASSFILE="$pgpass" psql -X -At "$address" -c "select inet_client_addr()" -c '\conninfo')"
[ "$(head -n 1 <<<"$session")" = "$host" ] && grep -q 'SSL connection (protocol: TLS' <<<"$session" ||
    fail "the desk's connection is not TLS from $host: $session"
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
grep -q "^       $host:$port:orvanta:desk:PASSWORD$" "$work/run2" || fail "the second run's password line: $(cat "$work/run2")"

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
# From an address outside the named networks, with every printed line right.
refused "a desk from a network not named" "no pg_hba.conf entry for host \"$outside\"" \
    ip netns exec "$tag" env PGPASSFILE="$pgpass" psql -X -At "$address" -c "select 1"
refused "a desk without TLS" "pg_hba.conf rejects connection for host \"$host\"" \
    env PGPASSFILE="$pgpass" psql -X -At "postgresql://desk@$host:$port/orvanta?sslmode=disable" -c "select 1"
refused "a desk asking for another database" "no pg_hba.conf entry for host \"$host\"" \
    env PGPASSFILE="$pgpass" psql -X -At "postgresql://desk@$host:$port/postgres?sslmode=verify-full&sslrootcert=$ca_to" -c "select 1"
as_postgres -d postgres -c "CREATE ROLE outsider LOGIN PASSWORD 'out-pw'"
refused "a login that is no desk's" "no pg_hba.conf entry for host \"$host\"" \
    env PGPASSWORD=out-pw psql -X -At "postgresql://outsider@$host:$port/orvanta?sslmode=verify-full&sslrootcert=$ca_to" -c "select 1"

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

# ---- the statement suite through the printed lines ----------------------------------------
# The suite's own administrative connection: the cluster's superuser over the socket.
sed -i "1i local all postgres trust" "$conf_dir/pg_hba.conf"
pg_ctlcluster "$ver" "$tag" reload
(umask 077 && grep -o "$host:$port:orvanta:desk:.*" "$pgpass" >"$work/suite.pgpass")
SETUP_SOCKET_DIR="$work/sock" SETUP_PORT="$port" SETUP_DATABASE=orvanta SETUP_ADDRESS="$desk_address" \
    SETUP_PGPASS="$work/suite.pgpass" "$SUITE" || fail "the statement suite through the printed lines"
echo "PASS"
