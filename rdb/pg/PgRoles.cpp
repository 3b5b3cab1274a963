#include "rdb/pg/PgRoles.h"

#include "rdb/pg/PgConn.h"
#include "rdb/pg/PgSchema.h"

namespace rdb::pg {
namespace {

// @S@: the schema holding the tables, @D@: the database, both quoted.
const char* const kLockDownSql = R"SQL(
DO $$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'orvanta_owner') THEN CREATE ROLE orvanta_owner NOLOGIN; END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'orvanta_desk') THEN CREATE ROLE orvanta_desk NOLOGIN; END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'orvanta_feed') THEN CREATE ROLE orvanta_feed NOLOGIN; END IF;
END $$;

CREATE TABLE IF NOT EXISTS @S@.orvanta_customer (
  role_name name PRIMARY KEY,
  USER_ID bpchar COLLATE orvanta_text NOT NULL);

-- The customer of the login in use. session_user, not current_user: inside this function
-- current_user is its owner, and a desk cannot change its session user. A login that is
-- no customer's gets NULL, which matches no row.
CREATE OR REPLACE FUNCTION @S@.orvanta_customer_id() RETURNS bpchar
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $f$
SELECT USER_ID FROM @S@.orvanta_customer WHERE role_name = session_user
$f$;

ALTER TABLE @S@.USER_INFO OWNER TO orvanta_owner;
ALTER TABLE @S@.SERVICE_INFO OWNER TO orvanta_owner;
ALTER TABLE @S@.USER_AGENT_INFO OWNER TO orvanta_owner;
ALTER TABLE @S@.RST_INB OWNER TO orvanta_owner;
ALTER TABLE @S@.orvanta_schema OWNER TO orvanta_owner;
ALTER TABLE @S@.orvanta_customer OWNER TO orvanta_owner;
ALTER FUNCTION @S@.F_FMT_TEL(bpchar) OWNER TO orvanta_owner;
ALTER FUNCTION @S@.F_FMT_DATE(bpchar) OWNER TO orvanta_owner;
ALTER FUNCTION @S@.F_FMT_TIME(bpchar) OWNER TO orvanta_owner;
ALTER FUNCTION @S@.P_INB_콜백률조회(bpchar, bpchar, bpchar) OWNER TO orvanta_owner;
-- Runs with the caller's rights, so the policies below hold inside it.
ALTER FUNCTION @S@.P_INB_콜백률조회(bpchar, bpchar, bpchar) SECURITY INVOKER;
ALTER FUNCTION @S@.orvanta_customer_id() OWNER TO orvanta_owner;
-- The agent key trigger runs as the tables' owner and serialises on a lock of its own.
ALTER FUNCTION @S@.orvanta_agent_key() OWNER TO orvanta_owner;
GRANT EXECUTE ON FUNCTION pg_catalog.pg_advisory_xact_lock(bigint) TO orvanta_owner;

-- Nobody but the owner creates anything: no tables, no temporary tables, no functions.
REVOKE CREATE ON SCHEMA @S@ FROM PUBLIC;
REVOKE CREATE, TEMPORARY ON DATABASE @D@ FROM PUBLIC;
GRANT CONNECT ON DATABASE @D@ TO orvanta_desk, orvanta_feed;
GRANT USAGE ON SCHEMA @S@ TO orvanta_desk, orvanta_feed;

REVOKE ALL ON @S@.USER_INFO, @S@.SERVICE_INFO, @S@.USER_AGENT_INFO, @S@.RST_INB, @S@.orvanta_schema,
  @S@.orvanta_customer FROM PUBLIC, orvanta_desk, orvanta_feed;
REVOKE ALL ON FUNCTION @S@.F_FMT_TEL(bpchar), @S@.F_FMT_DATE(bpchar), @S@.F_FMT_TIME(bpchar),
  @S@.P_INB_콜백률조회(bpchar, bpchar, bpchar), @S@.orvanta_customer_id(), @S@.orvanta_agent_key() FROM PUBLIC;

-- A desk gets what its own statements use and no more. Table-wide UPDATE, DELETE or TRUNCATE
-- would let it LOCK a table in any mode; column UPDATEs do not. Keys are never a desk's to
-- choose: no INSERT where the desk never inserts, agents only without SEQ_NO, no sequences
-- (identity defaults need none), so no duplicate-key error can tell one customer of another's.
GRANT SELECT ON @S@.USER_INFO, @S@.SERVICE_INFO, @S@.USER_AGENT_INFO, @S@.RST_INB TO orvanta_desk;
GRANT UPDATE (IS_PRINT, COMMENT, AGENT_NM) ON @S@.RST_INB TO orvanta_desk;
GRANT INSERT (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT), UPDATE (PASSWORD, DIST_COUNT), DELETE
  ON @S@.USER_AGENT_INFO TO orvanta_desk;
REVOKE ALL ON ALL SEQUENCES IN SCHEMA @S@ FROM PUBLIC, orvanta_desk, orvanta_feed;
GRANT EXECUTE ON FUNCTION @S@.F_FMT_TEL(bpchar), @S@.F_FMT_DATE(bpchar), @S@.F_FMT_TIME(bpchar),
  @S@.P_INB_콜백률조회(bpchar, bpchar, bpchar), @S@.orvanta_customer_id() TO orvanta_desk;

-- The feed finds the service of a request and inserts it, the key given by the database;
-- RETURNING its key is all it reads back.
GRANT SELECT ON @S@.SERVICE_INFO TO orvanta_feed;
GRANT INSERT (SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, CUST_INFO, DIAL_DATE, DIAL_TIME, COMM_TIME, IS_PRINT,
  IS_CALLBACK, IS_DELETE, RES_REPLY, COMMENT, AGENT_NM) ON @S@.RST_INB TO orvanta_feed;
GRANT SELECT (ACS_ID) ON @S@.RST_INB TO orvanta_feed;

-- Large objects would be storage without any limit: only a superuser creates them.
REVOKE EXECUTE ON FUNCTION pg_catalog.lo_creat(integer), pg_catalog.lo_create(oid),
  pg_catalog.lo_from_bytea(oid, bytea), pg_catalog.lo_import(text), pg_catalog.lo_import(text, oid) FROM PUBLIC;
-- Advisory locks (the operator's tools serialise on one), and the activity and table
-- statistics of every session and table, which would tell one customer when and from where
-- the others work and how many requests arrive: superusers only.
DO $$ DECLARE f regprocedure; BEGIN
  FOR f IN SELECT p.oid::regprocedure FROM pg_catalog.pg_proc p
            WHERE p.pronamespace = 'pg_catalog'::regnamespace
              AND (p.proname LIKE 'pg\_%advisory\_%' OR p.proname LIKE 'pg\_stat\_get\_%') LOOP
    EXECUTE 'REVOKE EXECUTE ON FUNCTION ' || f::text || ' FROM PUBLIC';
  END LOOP;
END $$;

-- The planner's statistics are read by EXPLAIN's estimates whatever the row-level security:
-- none on the columns that hold customers' and callers' data, and those gathered earlier go.
ALTER TABLE @S@.USER_INFO ALTER COLUMN USER_ID SET STATISTICS 0, ALTER COLUMN USER_NM SET STATISTICS 0,
  ALTER COLUMN PASSWORD SET STATISTICS 0;
ALTER TABLE @S@.SERVICE_INFO ALTER COLUMN SVC_ID SET STATISTICS 0, ALTER COLUMN SVC_NM SET STATISTICS 0,
  ALTER COLUMN USER_ID SET STATISTICS 0;
ALTER TABLE @S@.USER_AGENT_INFO ALTER COLUMN USER_ID SET STATISTICS 0, ALTER COLUMN AGENT_NM SET STATISTICS 0,
  ALTER COLUMN PASSWORD SET STATISTICS 0;
ALTER TABLE @S@.RST_INB ALTER COLUMN SVC_ID SET STATISTICS 0, ALTER COLUMN USER_ID SET STATISTICS 0,
  ALTER COLUMN RECV_PHONE SET STATISTICS 0, ALTER COLUMN CALLER_ID SET STATISTICS 0,
  ALTER COLUMN CUST_INFO SET STATISTICS 0, ALTER COLUMN COMM_TIME SET STATISTICS 0,
  ALTER COLUMN COMMENT SET STATISTICS 0, ALTER COLUMN AGENT_NM SET STATISTICS 0;
DELETE FROM pg_catalog.pg_statistic s USING pg_catalog.pg_attribute a
 WHERE a.attrelid = s.starelid AND a.attnum = s.staattnum AND a.attstattarget = 0
   AND s.starelid IN (SELECT c.oid FROM pg_catalog.pg_class c
                       WHERE c.relnamespace = (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = current_schema())
                         AND c.relname IN ('user_info', 'service_info', 'user_agent_info', 'rst_inb'));

ALTER TABLE @S@.USER_INFO ENABLE ROW LEVEL SECURITY;
ALTER TABLE @S@.SERVICE_INFO ENABLE ROW LEVEL SECURITY;
ALTER TABLE @S@.USER_AGENT_INFO ENABLE ROW LEVEL SECURITY;
ALTER TABLE @S@.RST_INB ENABLE ROW LEVEL SECURITY;
ALTER TABLE @S@.orvanta_customer ENABLE ROW LEVEL SECURITY;

DROP POLICY IF EXISTS desk_rows ON @S@.USER_INFO;
DROP POLICY IF EXISTS desk_rows ON @S@.SERVICE_INFO;
DROP POLICY IF EXISTS desk_rows ON @S@.USER_AGENT_INFO;
DROP POLICY IF EXISTS desk_rows ON @S@.RST_INB;
DROP POLICY IF EXISTS feed_reads ON @S@.SERVICE_INFO;
DROP POLICY IF EXISTS feed_reads ON @S@.RST_INB;
DROP POLICY IF EXISTS feed_inserts ON @S@.RST_INB;

-- (SELECT ...) is evaluated once per statement, and the comparison can use the indexes.
-- A desk writes only agents and its requests' processing columns; whatever it writes stays
-- with its customer, and a request with one of its own services.
CREATE POLICY desk_rows ON @S@.USER_INFO FOR SELECT TO orvanta_desk USING (USER_ID = (SELECT @S@.orvanta_customer_id()));
CREATE POLICY desk_rows ON @S@.SERVICE_INFO FOR SELECT TO orvanta_desk
  USING (USER_ID = (SELECT @S@.orvanta_customer_id()));
CREATE POLICY desk_rows ON @S@.USER_AGENT_INFO TO orvanta_desk
  USING (USER_ID = (SELECT @S@.orvanta_customer_id())) WITH CHECK (USER_ID = (SELECT @S@.orvanta_customer_id()));
CREATE POLICY desk_rows ON @S@.RST_INB TO orvanta_desk
  USING (USER_ID = (SELECT @S@.orvanta_customer_id()))
  WITH CHECK (USER_ID = (SELECT @S@.orvanta_customer_id()) AND EXISTS (SELECT 1 FROM @S@.SERVICE_INFO s
                WHERE s.SVC_ID = RST_INB.SVC_ID AND s.USER_ID = (SELECT @S@.orvanta_customer_id())));

CREATE POLICY feed_reads ON @S@.SERVICE_INFO FOR SELECT TO orvanta_feed USING (true);
CREATE POLICY feed_reads ON @S@.RST_INB FOR SELECT TO orvanta_feed USING (true);
-- A request must belong to the customer whose service it names.
CREATE POLICY feed_inserts ON @S@.RST_INB FOR INSERT TO orvanta_feed
  WITH CHECK (EXISTS (SELECT 1 FROM @S@.SERVICE_INFO s WHERE s.SVC_ID = RST_INB.SVC_ID AND s.USER_ID = RST_INB.USER_ID));
)SQL";

// What one login may take of the shared server, as role settings: applied where the login
// has none, so an operator's own ALTER ROLE ... SET survives --init. temp_file_limit is for
// superusers to set, so a desk cannot lift it; the others are defaults for a well-behaved
// client (a hostile one can SET them, which is why desks come through the pooler, whose
// limits no client reaches). Sized for a customer's 20 desks and the 30-day list of a
// service with 100,000 requests.
struct Setting {
    const char* name;
    const char* value;
};
const Setting kDeskSettings[] = {
    {"temp_file_limit", "256MB"},
    {"statement_timeout", "40s"},
    // Longer than the pooler's idle-transaction limit (10 s): a statement waiting behind a
    // transaction another desk left open outlasts it.
    {"lock_timeout", "15s"},
    {"idle_in_transaction_session_timeout", "10s"},
    // A desk whose machine vanished: its backend is gone within about two minutes.
    {"tcp_keepalives_idle", "60"},
    {"tcp_keepalives_interval", "10"},
    {"tcp_keepalives_count", "6"},
    {"tcp_user_timeout", "120000"},
    {"client_connection_check_interval", "10s"},
};
// The answering service's feed never waits for ever behind a lock or on itself.
const Setting kFeedSettings[] = {
    {"lock_timeout", "5s"},
    {"statement_timeout", "30s"},
    {"idle_in_transaction_session_timeout", "60s"},
};
// Connections one customer's login may hold on the server: its desks, and as many again
// for desks coming back while their old connections are still being reclaimed.
constexpr int kDeskConnectionLimit = 40;

// A DO block giving every role named by `roles` (a query) each setting it lacks, and a
// customer's login a connection limit when it has none.
std::string SettingsSql(const std::string& roles, const Setting* settings, size_t count, bool limitConnections) {
    std::string sql = "DO $$ DECLARE r name; BEGIN FOR r IN " + roles + " LOOP\n";
    for (size_t i = 0; i < count; ++i) {
        sql += std::string("  IF NOT EXISTS (SELECT 1 FROM pg_catalog.pg_db_role_setting d, unnest(d.setconfig) c ") +
               "WHERE d.setdatabase = 0 AND d.setrole = (SELECT oid FROM pg_catalog.pg_roles WHERE rolname = r) " +
               "AND c LIKE '" + settings[i].name + "=%') THEN EXECUTE format('ALTER ROLE %I SET " + settings[i].name +
               " = %L', r, '" + settings[i].value + "'); END IF;\n";
    }
    if (limitConnections)
        sql += "  IF (SELECT rolconnlimit FROM pg_catalog.pg_roles WHERE rolname = r) < 0 THEN "
               "EXECUTE format('ALTER ROLE %I CONNECTION LIMIT " +
               std::to_string(kDeskConnectionLimit) + "', r); END IF;\n";
    return sql + "END LOOP; END $$;";
}

std::string DeskSettingsSql(const std::string& roles) {
    return SettingsSql(roles, kDeskSettings, sizeof kDeskSettings / sizeof kDeskSettings[0], true);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
        text.replace(pos, from.size(), to);
    return text;
}

}  // namespace

void BoundLockWaits(PGconn* conn) {
    std::string error;
    ResultPtr r = Exec(conn, "SELECT current_setting('lock_timeout') = '0'", {}, &error);
    if (r && PQntuples(r.get()) == 1 && std::string(PQgetvalue(r.get(), 0, 0)) == "t")
        Command(conn, std::string("SET lock_timeout = '") + kOperatorLockWait + "'", nullptr);
}

std::string LockHolders(PGconn* conn) {
    std::string error;
    // The operator's advisory key as pg_locks shows it (high and low halves), and every lock
    // on a relation of this schema.
    const std::string key = std::to_string(kOperatorLockKey);
    ResultPtr r = Exec(conn,
                       "SELECT a.pid, coalesce(a.usename::text, '?'), coalesce(a.application_name, ''), "
                       "coalesce(host(a.client_addr), 'local'), coalesce(a.state, ''), "
                       "coalesce(date_trunc('second', now() - a.xact_start)::text, '') "
                       "FROM pg_catalog.pg_stat_activity a WHERE a.pid <> pg_backend_pid() AND a.pid IN ("
                       "SELECT l.pid FROM pg_catalog.pg_locks l WHERE l.granted AND ("
                       "(l.locktype = 'advisory' AND l.classid = (" + key + " >> 32)::oid "
                       "AND l.objid = (" + key + " & 4294967295)::oid) OR "
                       "(l.locktype = 'relation' AND l.database = (SELECT oid FROM pg_catalog.pg_database "
                       "WHERE datname = current_database()) AND l.relation IN (SELECT c.oid FROM pg_catalog.pg_class c "
                       "WHERE c.relnamespace = (SELECT oid FROM pg_catalog.pg_namespace WHERE nspname = current_schema()))))) "
                       "ORDER BY a.pid",
                       {}, &error);
    if (!r || PQntuples(r.get()) == 0) return "";
    std::string text = "held by:";
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        text += std::string("\n  pid ") + PQgetvalue(r.get(), i, 0) + " (login " + PQgetvalue(r.get(), i, 1) +
                ", application '" + PQgetvalue(r.get(), i, 2) + "', from " + PQgetvalue(r.get(), i, 3) + ", " +
                PQgetvalue(r.get(), i, 4);
        if (*PQgetvalue(r.get(), i, 5) != '\0') text += std::string(", transaction open for ") + PQgetvalue(r.get(), i, 5);
        text += ")";
    }
    return text + "\nend it with SELECT pg_terminate_backend(PID) if it should not be there";
}

LockResult LockDown(PGconn* conn, std::string* message) {
    std::string error;
    ResultPtr r = Exec(conn,
                       "SELECT r.rolsuper, current_schema(), current_database(), "
                       "(SELECT count(*) FROM pg_class WHERE relname = 'orvanta_schema' "
                       "AND relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = current_schema())) "
                       "FROM pg_roles r WHERE r.rolname = current_user",
                       {}, &error);
    if (!r || PQntuples(r.get()) != 1) {
        *message = "cannot read the current role: " + error;
        return LockResult::Failed;
    }
    if (std::string(PQgetvalue(r.get(), 0, 0)) != "t") {
        *message = "roles and row-level security were not set up: run rdbcli --init as a superuser to lock the "
                   "database down for many customers";
        return LockResult::NotAllowed;
    }
    if (std::string(PQgetvalue(r.get(), 0, 3)) == "0") {
        *message = "the schema is not installed";
        return LockResult::Failed;
    }
    std::string sql = Replace(kLockDownSql, "@S@", QuoteIdent(conn, PQgetvalue(r.get(), 0, 1)));
    sql = Replace(sql, "@D@", QuoteIdent(conn, PQgetvalue(r.get(), 0, 2)));
    const std::string schema = QuoteIdent(conn, PQgetvalue(r.get(), 0, 1));
    const std::string customers = "SELECT c.role_name FROM " + schema +
                                  ".orvanta_customer c JOIN pg_catalog.pg_roles r ON r.rolname = c.role_name";
    const std::string feeds = "SELECT m.rolname FROM pg_catalog.pg_roles m WHERE m.rolcanlogin AND NOT m.rolsuper "
                              "AND pg_catalog.pg_has_role(m.oid, 'orvanta_feed', 'MEMBER') AND m.rolname NOT IN "
                              "(SELECT role_name FROM " + schema + ".orvanta_customer)";
    BoundLockWaits(conn);
    // Two operators at once: the first finishes, the second waits and repeats it harmlessly.
    if (!Command(conn, "BEGIN; SELECT pg_advisory_xact_lock(" + std::to_string(kOperatorLockKey) + ");", &error) ||
        !Command(conn, sql, &error) || !Command(conn, DeskSettingsSql(customers), &error) ||
        !Command(conn, SettingsSql(feeds, kFeedSettings, sizeof kFeedSettings / sizeof kFeedSettings[0], false), &error) ||
        !Command(conn, "COMMIT", &error)) {
        Command(conn, "ROLLBACK", nullptr);
        *message = "cannot lock the database down: " + error;
        const std::string holders = LockHolders(conn);
        if (!holders.empty()) *message += "\n" + holders;
        return LockResult::Failed;
    }
    *message = std::string("roles ") + kDeskRole + " and " + kFeedRole + " and row-level security are in place";
    return LockResult::Done;
}

bool AddCustomer(PGconn* conn, const std::string& userId, const std::string& role, const std::string& password,
                 std::string* message) {
    std::string error;
    if (userId.empty() || role.empty() || password.empty()) {
        *message = "the user ID, the role and the password must not be empty";
        return false;
    }
    ResultPtr r = Exec(conn,
                       "SELECT (SELECT count(*) FROM pg_roles WHERE rolname = $1), "
                       "(SELECT count(*) FROM pg_roles WHERE rolname = 'orvanta_desk'), "
                       "(SELECT count(*) FROM pg_class WHERE relname = 'orvanta_customer' "
                       "AND relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = current_schema()))",
                       {role}, &error);
    if (!r) {
        *message = error;
        return false;
    }
    const bool exists = std::string(PQgetvalue(r.get(), 0, 0)) != "0";
    if (std::string(PQgetvalue(r.get(), 0, 1)) == "0" || std::string(PQgetvalue(r.get(), 0, 2)) == "0") {
        *message = "the database is not locked down: run rdbcli --init as a superuser first";
        return false;
    }
    if (exists) {
        // Only this customer's own desk login may be given a new password; any other role
        // (an administrator, another customer) is never touched.
        r = Exec(conn, "SELECT USER_ID::text FROM orvanta_customer WHERE role_name = $1", {role}, &error);
        if (!r) {
            *message = error;
            return false;
        }
        if (PQntuples(r.get()) == 0 || std::string(PQgetvalue(r.get(), 0, 0)) != userId) {
            *message = "the role " + role + " exists and is not the desk login of " + userId;
            return false;
        }
    }
    char* verifier = PQencryptPasswordConn(conn, password.c_str(), role.c_str(), "scram-sha-256");
    if (verifier == nullptr) {
        *message = std::string("cannot compute the password's verifier: ") + PQerrorMessage(conn);
        return false;
    }
    const std::string secret = verifier;
    PQfreemem(verifier);
    const std::string ident = QuoteIdent(conn, role);
    std::string literal;
    {
        char* lit = PQescapeLiteral(conn, secret.data(), secret.size());
        if (lit == nullptr) {
            *message = PQerrorMessage(conn);
            return false;
        }
        literal = lit;
        PQfreemem(lit);
    }
    const std::string sql =
        exists ? "ALTER ROLE " + ident + " LOGIN PASSWORD " + literal
               : "CREATE ROLE " + ident + " LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION NOBYPASSRLS PASSWORD " +
                     literal + " IN ROLE orvanta_desk";
    std::string roleLiteral;
    if (char* lit = PQescapeLiteral(conn, role.data(), role.size()); lit != nullptr) {
        roleLiteral = lit;
        PQfreemem(lit);
    }
    // Limits the login lacks; an operator's own changes to an existing login are kept.
    if (!Command(conn, "BEGIN", &error) || !Command(conn, sql, &error) ||
        !Exec(conn,
              "INSERT INTO orvanta_customer (role_name, USER_ID) VALUES ($1, $2) "
              "ON CONFLICT (role_name) DO NOTHING",
              {role, userId}, &error) ||
        !Command(conn, DeskSettingsSql("SELECT " + roleLiteral + "::name"), &error) ||
        !Command(conn, "COMMIT", &error)) {
        Command(conn, "ROLLBACK", nullptr);
        *message = "cannot add the customer's login: " + error;
        return false;
    }
    *message = (exists ? "new password for " : "added the desk login ") + role + " of " + userId;
    return true;
}

}  // namespace rdb::pg
