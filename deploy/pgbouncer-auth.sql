-- The pooler's look-up of desk logins (auth_query in pgbouncer.ini). Run once per database
-- the pooler serves, as a superuser, after rdbcli --init:
--   sudo -u postgres psql -d orvanta -v auth_password="'...'" -f pgbouncer-auth.sql
-- The login pgbouncer_auth may run this one function and nothing else; the function hands
-- out the SCRAM verifier of plain customer logins only (members of orvanta_desk that
-- rdbcli --add-customer tied to a customer, without any attribute beyond LOGIN), never that
-- of a superuser, a role administrator or a replication login, so the pooler cannot be used
-- to log in as them.

DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'pgbouncer_auth') THEN
        CREATE ROLE pgbouncer_auth LOGIN NOINHERIT;
    END IF;
END
$$;
\if :{?auth_password}
ALTER ROLE pgbouncer_auth PASSWORD :auth_password;
\endif

CREATE SCHEMA IF NOT EXISTS pgbouncer;
REVOKE ALL ON SCHEMA pgbouncer FROM PUBLIC;

CREATE OR REPLACE FUNCTION pgbouncer.get_auth(p_usename text)
RETURNS TABLE (usename name, passwd text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog AS $$
    SELECT s.usename, s.passwd
    FROM pg_catalog.pg_shadow s
    JOIN pg_catalog.pg_roles r ON r.rolname = s.usename
    WHERE s.usename = p_usename
      AND NOT (r.rolsuper OR r.rolcreaterole OR r.rolcreatedb OR r.rolreplication OR r.rolbypassrls)
      AND pg_catalog.pg_has_role(s.usename, 'orvanta_desk', 'MEMBER')
      AND EXISTS (SELECT 1 FROM public.orvanta_customer c WHERE c.role_name = s.usename)
$$;

REVOKE ALL ON FUNCTION pgbouncer.get_auth(text) FROM PUBLIC;
GRANT USAGE ON SCHEMA pgbouncer TO pgbouncer_auth;
GRANT EXECUTE ON FUNCTION pgbouncer.get_auth(text) TO pgbouncer_auth;
