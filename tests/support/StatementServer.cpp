#include "tests/support/StatementServer.h"

#include <stdexcept>

#include "tests/support/Fixture.h"

namespace {

class EmbeddedServer : public StatementServer {
public:
    EmbeddedServer() { CreateFixtureDatabase(DatabasePath()); }
    std::string Address() const override { return "file:" + DatabasePath(); }
    std::string DatabasePath() const override { return dir_.File("fixture.db"); }

private:
    TempDir dir_;
};

}  // namespace

std::unique_ptr<StatementServer> StartStatementServer(ServerKind kind) {
    switch (kind) {
        case ServerKind::Embedded:
            return std::make_unique<EmbeddedServer>();
        case ServerKind::Tcp:
            break;
    }
    return nullptr;
}

std::vector<ServerKind> StatementServerKinds() { return {ServerKind::Embedded}; }

std::string ServerKindName(ServerKind kind) { return kind == ServerKind::Embedded ? "Embedded" : "Tcp"; }
