#include "tests/support/StatementServer.h"

#include <stdexcept>

#include "tests/support/Fixture.h"
#include "tests/support/RdbdProcess.h"

namespace {

class EmbeddedServer : public StatementServer {
public:
    EmbeddedServer() { CreateFixtureDatabase(DatabasePath()); }
    std::string Address() const override { return "file:" + DatabasePath(); }
    std::string DatabasePath() const override { return dir_.File("fixture.db"); }

private:
    TempDir dir_;
};

// The same fixture behind a real rdbd on a free loopback port.
class TcpServer : public StatementServer {
public:
    TcpServer() {
        CreateFixtureDatabase(DatabasePath());
        if (!rdbd_.Start(DatabasePath())) throw std::runtime_error("rdbd: " + rdbd_.ErrorText());
    }
    std::string Address() const override { return rdbd_.Address(); }
    std::string DatabasePath() const override { return dir_.File("fixture.db"); }

private:
    TempDir dir_;
    RdbdProcess rdbd_;
};

}  // namespace

std::unique_ptr<StatementServer> StartStatementServer(ServerKind kind) {
    switch (kind) {
        case ServerKind::Embedded:
            return std::make_unique<EmbeddedServer>();
        case ServerKind::Tcp:
            return std::make_unique<TcpServer>();
    }
    return nullptr;
}

std::vector<ServerKind> StatementServerKinds() { return {ServerKind::Embedded, ServerKind::Tcp}; }

std::string ServerKindName(ServerKind kind) { return kind == ServerKind::Embedded ? "Embedded" : "Tcp"; }
