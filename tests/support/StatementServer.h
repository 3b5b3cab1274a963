// A fixture database reachable through one of the transports, for the statement suite.
#pragma once

#include <memory>
#include <string>
#include <vector>

enum class ServerKind { Embedded, Postgres };

class StatementServer {
public:
    virtual ~StatementServer() = default;
    virtual std::string Address() const = 0;   // the server address a desk would use
    virtual std::string DatabasePath() const = 0;
};

// A fresh fixture database served the given way.
std::unique_ptr<StatementServer> StartStatementServer(ServerKind kind);
// The embedded engine. PostgreSQL runs in its own test programs, one cluster each.
std::vector<ServerKind> StatementServerKinds();
std::string ServerKindName(ServerKind kind);
