-- The pooler's look-up of desk logins (auth_query in pgbouncer.ini). Run once per database
-- the pooler serves, as a superuser, after rdbcli --init:
--   sudo -u postgres psql -d orvanta -v auth_password="'...'" \
--       -v pooler_console="'host=/var/run/postgresql port=6432 dbname=pgbouncer user=postgres'" \
--       -f pgbouncer-auth.sql
-- The login pgbouncer_auth may run this one function and nothing else; the function hands
-- out the SCRAM verifier of plain customer logins only (members of orvanta_desk that
-- rdbcli --add-customer tied to a customer, without any attribute beyond LOGIN), never that
-- of a superuser, a role administrator or a replication login, so the pooler cannot be used
-- to log in as them.
-- With pooler_console (the pooler's admin console, reached by this server as a superuser:
-- over the pooler's socket with peer authentication, as orvanta-setup sets it), a login
-- that already has as many desks logged in at the pooler as its CONNECTION LIMIT is
-- refused there: PgBouncer 1.18 has no client limit per login of its own. Without it (or
-- with pooler_console set to ''), no such limit applies.

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

-- The pooler's console, read through dblink by the look-up alone.
CREATE EXTENSION IF NOT EXISTS dblink WITH SCHEMA pgbouncer;
DO $$
DECLARE
    v_schema name := (SELECT n.nspname FROM pg_catalog.pg_extension e
                      JOIN pg_catalog.pg_namespace n ON n.oid = e.extnamespace WHERE e.extname = 'dblink');
BEGIN
    IF v_schema <> 'pgbouncer' THEN
        RAISE EXCEPTION 'dblink is installed in schema %, not pgbouncer: the look-up needs its own', v_schema
            USING HINT = 'Run this in a database without dblink, or move it: ALTER EXTENSION dblink SET SCHEMA pgbouncer';
    END IF;
END
$$;
-- Where the console is: a function rather than a table, so the database holds no table
-- beyond the desks' own. NULL: no console, no client limit.
CREATE OR REPLACE FUNCTION pgbouncer.console() RETURNS text LANGUAGE sql STABLE AS $$ SELECT NULL::text $$;
\if :{?pooler_console}
SELECT format('CREATE OR REPLACE FUNCTION pgbouncer.console() RETURNS text LANGUAGE sql STABLE AS %L',
              'SELECT ' || coalesce(quote_literal(nullif(:pooler_console, '')), 'NULL') || '::text') \gexec
\endif

CREATE OR REPLACE FUNCTION pgbouncer.get_auth(p_usename text)
RETURNS TABLE (usename name, passwd text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pgbouncer AS $$
DECLARE
    v_limit integer;
    v_console text;
    v_clients bigint;
BEGIN
    SELECT r.rolconnlimit INTO v_limit
    FROM pg_catalog.pg_roles r
    WHERE r.rolname = p_usename
      AND NOT (r.rolsuper OR r.rolcreaterole OR r.rolcreatedb OR r.rolreplication OR r.rolbypassrls)
      AND pg_catalog.pg_has_role(r.rolname, 'orvanta_desk', 'MEMBER')
      AND EXISTS (SELECT 1 FROM public.orvanta_customer c WHERE c.role_name = r.rolname);
    IF NOT FOUND THEN
        RETURN;
    END IF;
    v_console := pgbouncer.console();
    -- -1: no limit. The desk being looked up is not counted yet: it is still logging in.
    IF v_console IS NOT NULL AND v_limit >= 0 THEN
        -- One console connection for the life of this server session (the pooler keeps the
        -- look-up's session); a broken one is opened again once.
        FOR attempt IN 1..2 LOOP
            BEGIN
                IF NOT 'orvanta_pooler' = ANY (coalesce(dblink_get_connections(), '{}')) THEN
                    PERFORM dblink_connect('orvanta_pooler', v_console);
                END IF;
                -- The columns of PgBouncer 1.18's SHOW POOLS.
                SELECT coalesce(sum(p.cl_active + p.cl_waiting), 0) INTO v_clients
                FROM dblink('orvanta_pooler', 'SHOW POOLS') AS p(database text, "user" text, cl_active bigint,
                    cl_waiting bigint, cl_active_cancel_req bigint, cl_waiting_cancel_req bigint, sv_active bigint,
                    sv_active_cancel bigint, sv_being_canceled bigint, sv_idle bigint, sv_used bigint, sv_tested bigint,
                    sv_login bigint, maxwait bigint, maxwait_us bigint, pool_mode text)
                WHERE p."user" = p_usename;
                EXIT;
            EXCEPTION WHEN OTHERS THEN
                IF 'orvanta_pooler' = ANY (coalesce(dblink_get_connections(), '{}')) THEN
                    PERFORM dblink_disconnect('orvanta_pooler');
                END IF;
                IF attempt = 2 THEN
                    -- A console that does not answer must not lock every desk out.
                    RAISE WARNING 'the pooler''s console does not answer (%): % logs in without its client limit',
                        SQLERRM, p_usename;
                END IF;
            END;
        END LOOP;
        IF v_clients >= v_limit THEN
            RAISE EXCEPTION 'login % already has % desks logged in at the pooler, its CONNECTION LIMIT', p_usename, v_clients
                USING ERRCODE = 'too_many_connections',
                      HINT = 'ALTER ROLE ' || quote_ident(p_usename) || ' CONNECTION LIMIT N raises it';
        END IF;
    END IF;
    RETURN QUERY SELECT s.usename, s.passwd FROM pg_catalog.pg_shadow s WHERE s.usename = p_usename;
END
$$;

-- dblink's functions too: the look-up login may reach nothing through them.
REVOKE ALL ON ALL FUNCTIONS IN SCHEMA pgbouncer FROM PUBLIC;
GRANT USAGE ON SCHEMA pgbouncer TO pgbouncer_auth;
GRANT EXECUTE ON FUNCTION pgbouncer.get_auth(text) TO pgbouncer_auth;
