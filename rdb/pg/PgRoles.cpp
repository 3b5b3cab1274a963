#include "rdb/pg/PgRoles.h"

#include "rdb/pg/PgConn.h"

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

-- Nobody but the owner creates anything: no tables, no temporary tables, no functions.
REVOKE CREATE ON SCHEMA @S@ FROM PUBLIC;
REVOKE CREATE, TEMPORARY ON DATABASE @D@ FROM PUBLIC;
GRANT CONNECT ON DATABASE @D@ TO orvanta_desk, orvanta_feed;
GRANT USAGE ON SCHEMA @S@ TO orvanta_desk, orvanta_feed;

REVOKE ALL ON @S@.USER_INFO, @S@.SERVICE_INFO, @S@.USER_AGENT_INFO, @S@.RST_INB, @S@.orvanta_schema,
  @S@.orvanta_customer FROM PUBLIC, orvanta_desk, orvanta_feed;
REVOKE ALL ON FUNCTION @S@.F_FMT_TEL(bpchar), @S@.F_FMT_DATE(bpchar), @S@.F_FMT_TIME(bpchar),
  @S@.P_INB_콜백률조회(bpchar, bpchar, bpchar), @S@.orvanta_customer_id() FROM PUBLIC;

GRANT SELECT, INSERT, UPDATE, DELETE ON @S@.USER_INFO, @S@.SERVICE_INFO, @S@.USER_AGENT_INFO, @S@.RST_INB
  TO orvanta_desk;
GRANT USAGE ON ALL SEQUENCES IN SCHEMA @S@ TO orvanta_desk, orvanta_feed;
GRANT EXECUTE ON FUNCTION @S@.F_FMT_TEL(bpchar), @S@.F_FMT_DATE(bpchar), @S@.F_FMT_TIME(bpchar),
  @S@.P_INB_콜백률조회(bpchar, bpchar, bpchar), @S@.orvanta_customer_id() TO orvanta_desk;

-- The feed finds the service of a request and inserts it; RETURNING its key is all it reads back.
GRANT SELECT ON @S@.SERVICE_INFO TO orvanta_feed;
GRANT INSERT ON @S@.RST_INB TO orvanta_feed;
GRANT SELECT (ACS_ID) ON @S@.RST_INB TO orvanta_feed;

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
CREATE POLICY desk_rows ON @S@.USER_INFO TO orvanta_desk
  USING (USER_ID = (SELECT @S@.orvanta_customer_id())) WITH CHECK (USER_ID = (SELECT @S@.orvanta_customer_id()));
CREATE POLICY desk_rows ON @S@.SERVICE_INFO TO orvanta_desk
  USING (USER_ID = (SELECT @S@.orvanta_customer_id())) WITH CHECK (USER_ID = (SELECT @S@.orvanta_customer_id()));
CREATE POLICY desk_rows ON @S@.USER_AGENT_INFO TO orvanta_desk
  USING (USER_ID = (SELECT @S@.orvanta_customer_id())) WITH CHECK (USER_ID = (SELECT @S@.orvanta_customer_id()));
CREATE POLICY desk_rows ON @S@.RST_INB TO orvanta_desk
  USING (USER_ID = (SELECT @S@.orvanta_customer_id())) WITH CHECK (USER_ID = (SELECT @S@.orvanta_customer_id()));

CREATE POLICY feed_reads ON @S@.SERVICE_INFO FOR SELECT TO orvanta_feed USING (true);
CREATE POLICY feed_reads ON @S@.RST_INB FOR SELECT TO orvanta_feed USING (true);
-- A request must belong to the customer whose service it names.
CREATE POLICY feed_inserts ON @S@.RST_INB FOR INSERT TO orvanta_feed
  WITH CHECK (EXISTS (SELECT 1 FROM @S@.SERVICE_INFO s WHERE s.SVC_ID = RST_INB.SVC_ID AND s.USER_ID = RST_INB.USER_ID));
)SQL";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
        text.replace(pos, from.size(), to);
    return text;
}

}  // namespace

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
    // Two operators at once: the first finishes, the second waits and repeats it harmlessly.
    if (!Command(conn, "BEGIN; SELECT pg_advisory_xact_lock(31359469478896993);", &error) ||
        !Command(conn, sql, &error) || !Command(conn, "COMMIT", &error)) {
        Command(conn, "ROLLBACK", nullptr);
        *message = "cannot lock the database down: " + error;
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
    if (!Command(conn, "BEGIN", &error) || !Command(conn, sql, &error) ||
        !Exec(conn,
              "INSERT INTO orvanta_customer (role_name, USER_ID) VALUES ($1, $2) "
              "ON CONFLICT (role_name) DO NOTHING",
              {role, userId}, &error) ||
        !Command(conn, "COMMIT", &error)) {
        Command(conn, "ROLLBACK", nullptr);
        *message = "cannot add the customer's login: " + error;
        return false;
    }
    *message = (exists ? "new password for " : "added the desk login ") + role + " of " + userId;
    return true;
}

}  // namespace rdb::pg
