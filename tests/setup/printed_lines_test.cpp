// The statement suite as a desk of a server made by orvanta-setup runs it: the address and
// the password-file line exactly as printed, over TLS checked against the CA file it named.
// server_setup_test.sh runs this program after the set-up, with SETUP_SOCKET_DIR, SETUP_PORT,
// SETUP_DATABASE, SETUP_ADDRESS, SETUP_PGPASS (a 0600 file holding the printed line) and
// ORVANTA_SAMPLES (the pooler's look-up function).
//
// The set-up database confines its desk login to one customer, and the suite reads several,
// so each suite test gets a fresh fixture copy put in place under the set-up database's name,
// which is what the printed address and pg_hba.conf name; the printed login owns the copy.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "tests/support/PgCluster.h"

namespace {

std::string g_database, g_address, g_passFile;

std::string Required(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') throw std::runtime_error(std::string(name) + " is not set");
    return value;
}

std::string ThroughPrintedLines(const std::string& db) {
    PgCluster& cluster = SharedPgCluster();
    cluster.Exec("DROP DATABASE IF EXISTS " + g_database + " WITH (FORCE)");
    cluster.Exec("ALTER DATABASE " + db + " RENAME TO " + g_database);
    // The pooler looks desks up in the database they ask for, among its customers' logins;
    // the fixture copy is no locked-down database and has no customer table of its own.
    cluster.Exec("CREATE TABLE public.orvanta_customer (USER_ID text, role_name name)", g_database);
    const size_t login = g_address.find("://") + 3;
    cluster.Exec("INSERT INTO public.orvanta_customer VALUES ('demo', '" + g_address.substr(login, g_address.find('@') - login) +
                     "')",
                 g_database);
    const std::string lookup = PgCluster::BinDir() + "/psql -X -q -v ON_ERROR_STOP=1 -d '" + cluster.AdminUri(g_database) +
                               "' -f '" + Required("ORVANTA_SAMPLES") + "/pgbouncer-auth.sql' >/dev/null";
    if (std::system(lookup.c_str()) != 0) throw std::runtime_error(lookup + " failed");
    // The fixture's own log-in over loopback is done; from here on the desk has the printed
    // line only.
    setenv("PGPASSFILE", g_passFile.c_str(), 1);
    return g_address;
}

class PrintedLines : public ::testing::Environment {
public:
    void SetUp() override {
        g_database = Required("SETUP_DATABASE");
        g_address = Required("SETUP_ADDRESS");
        g_passFile = Required("SETUP_PGPASS");
        AttachSharedPgCluster(Required("SETUP_SOCKET_DIR"), static_cast<uint16_t>(std::stoi(Required("SETUP_PORT"))));
        // The pooler keeps idle server connections to it; it opens new ones when a desk asks.
        SharedPgCluster().Exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + g_database + "'");
        SharedPgCluster().Exec("ALTER DATABASE " + g_database + " RENAME TO " + g_database + "_set_up");
        SetPgDeskAddress(&ThroughPrintedLines);
    }
    void TearDown() override {
        SetPgDeskAddress(nullptr);
        SharedPgCluster().Exec("DROP DATABASE IF EXISTS " + g_database + " WITH (FORCE)");
        SharedPgCluster().Exec("ALTER DATABASE " + g_database + "_set_up RENAME TO " + g_database);
    }
};
const auto* const kPrintedLines = ::testing::AddGlobalTestEnvironment(new PrintedLines);

}  // namespace
