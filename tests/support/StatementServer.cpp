#include "tests/support/StatementServer.h"

#include <atomic>
#include <mutex>
#include <stdexcept>

#include "rdb/engine/Engine.h"
#include "rdb/pg/PgCopy.h"
#include "rdb/pg/PgSchema.h"
#include "tests/support/Fixture.h"
#include "tests/support/PgCluster.h"

namespace {

class EmbeddedServer : public StatementServer {
public:
    EmbeddedServer() { CreateFixtureDatabase(DatabasePath()); }
    std::string Address() const override { return "file:" + DatabasePath(); }
    std::string DatabasePath() const override { return dir_.File("fixture.db"); }

private:
    TempDir dir_;
};

// The same fixture in a fresh database of the program's PostgreSQL cluster, owned by the
// desk's login and reached over TCP with its password from the password file. The fixture
// is copied over once into a template; each server clones it.
class PostgresServer : public StatementServer {
public:
    PostgresServer() {
        PgCluster& cluster = SharedPgCluster();
        static std::once_flag once;
        std::call_once(once, [&cluster] {
            cluster.Exec("CREATE DATABASE suite_fixture OWNER " + std::string(kDeskLogin));
            std::string error;
            rdb::pg::ConnPtr conn = rdb::pg::Connect(cluster.TcpUri("suite_fixture", kDeskLogin), 30000, &error);
            if (!conn) throw std::runtime_error(error);
            std::string message;
            if (rdb::pg::EnsureSchema(conn.get(), &message) != rdb::pg::InitResult::Created)
                throw std::runtime_error(message);
            TempDir dir;
            CreateFixtureDatabase(dir.File("fixture.db"));
            rdb::Error e;
            auto engine = rdb::Engine::Open(dir.File("fixture.db"), &e);
            if (!engine || !rdb::pg::CopyFromEngine(*engine, conn.get(), rdb::pg::CopyOptions(), nullptr, &error))
                throw std::runtime_error("fixture copy: " + error + e.message);
        });
        static std::atomic<int> next{0};
        name_ = "suite_" + std::to_string(++next);
        cluster.Exec("CREATE DATABASE " + name_ + " TEMPLATE suite_fixture OWNER " + kDeskLogin);
        address_ = PgDeskAddress(name_);
    }
    std::string Address() const override { return address_; }
    std::string DatabasePath() const override { return address_; }

private:
    std::string name_;
    std::string address_;
};

}  // namespace

std::unique_ptr<StatementServer> StartStatementServer(ServerKind kind) {
    switch (kind) {
        case ServerKind::Embedded:
            return std::make_unique<EmbeddedServer>();
        case ServerKind::Postgres:
            return std::make_unique<PostgresServer>();
    }
    return nullptr;
}

std::vector<ServerKind> StatementServerKinds() { return {ServerKind::Embedded}; }

std::string ServerKindName(ServerKind kind) {
    switch (kind) {
        case ServerKind::Embedded:
            return "Embedded";
        case ServerKind::Postgres:
            break;
    }
    return "Postgres";
}
