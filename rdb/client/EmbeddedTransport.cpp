// "file:PATH": the engine runs inside the calling process on the database file PATH.
#include <limits>
#include <memory>
#include <string>

#include "rdb/client/Transport.h"
#include "rdb/engine/Engine.h"

namespace rdb {
namespace {

class EmbeddedTransport : public Transport {
public:
    explicit EmbeddedTransport(std::unique_ptr<Engine> engine) : engine_(std::move(engine)) {}

    int32_t Query(const std::string&, const std::string& sql, const ClientRowFn& onRow,
                  int32_t* rowCount, RDB_ERROR* err) override {
        int32_t delivered = 0;
        auto sink = [&](int32_t columns, const std::string& row) {
            if (delivered < std::numeric_limits<int32_t>::max()) ++delivered;
            if (onRow) onRow(columns, row);
            return true;
        };
        Error e;
        const bool ok = engine_->Query(sql, sink, nullptr, &e);
        if (rowCount != nullptr) *rowCount = delivered;
        if (!ok) {
            SetRdbError(err, e.code, e.message);
            return 0;
        }
        SetRdbError(err, 0, std::string());
        return 1;
    }

    int32_t QueryFirst(const std::string&, const std::string& sql, std::string* row,
                       RDB_ERROR* err) override {
        Error e;
        const int found = engine_->QueryFirst(sql, row, nullptr, &e);
        if (found < 0) {
            // A failed call, not a status: an engine code of 1 would read as "no row".
            SetRdbError(err, e.code, e.message);
            return 0;
        }
        SetRdbError(err, found == 1 ? 0 : 1, std::string());
        return 1;
    }

    int32_t Execute(const std::string&, const std::string& sql, RDB_ERROR* err) override {
        Error e;
        if (!engine_->Execute(sql, nullptr, &e)) {
            SetRdbError(err, e.code, e.message);
            return 0;
        }
        SetRdbError(err, 0, std::string());
        return 1;
    }

private:
    std::unique_ptr<Engine> engine_;
};

}  // namespace

std::unique_ptr<Transport> MakeEmbeddedTransport(const std::string& path, RDB_ERROR* err) {
    Error e;
    Engine::Options options;
    // The desk's statements only; the file must already be a database of ours.
    options.deskLimits = true;
    std::unique_ptr<Engine> engine = Engine::Open(path, options, &e);
    if (!engine) {
        SetRdbError(err, RDB_E_OPEN, "cannot open database \"" + path + "\": " + e.message);
        return nullptr;
    }
    return std::make_unique<EmbeddedTransport>(std::move(engine));
}

}  // namespace rdb
