// Spreadsheet export of a large selection: 10,000 selected rows of 14 columns through the
// views' export path (marks, every automation call recorded, the workbook written).
//   bench_export [rows] [runs]
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "output/ExportSelection.h"
#include "output/ListSource.h"
#include "platform/MessageBox.h"
#include "tests/support/qt/ScriptedShell.h"
#include "tests/support/qt/SpreadsheetProbe.h"
#include "tests/support/ScriptedMessages.h"

namespace {

constexpr int kColumns = 14;

// A Hangul syllable in UTF-8.
std::string Syllable(unsigned index) {
    const unsigned cp = 0xAC00 + index % 11172;
    return {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
            static_cast<char>(0x80 | (cp & 0x3F))};
}

class BenchList : public IListSource {
public:
    explicit BenchList(int rows) {
        for (int c = 0; c < kColumns; ++c) headings_.push_back(Syllable(c * 7) + Syllable(c * 13) + ",col" + std::to_string(c));
        char buffer[64];
        for (int r = 0; r < rows; ++r) {
            std::vector<std::string> row;
            row.push_back(std::to_string(r + 1));
            row.push_back("1001." + Syllable(r % 50) + Syllable(r % 70));
            std::snprintf(buffer, sizeof buffer, "010-%04d-%04d", r % 10000, (r * 7) % 10000);
            row.push_back(buffer);
            std::snprintf(buffer, sizeof buffer, "02%08d", (r * 13) % 100000000);
            row.push_back(buffer);
            std::snprintf(buffer, sizeof buffer, "2026-12-%02d", 1 + r % 28);
            row.push_back(buffer);
            std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", r % 24, r % 60, (r * 3) % 60);
            row.push_back(buffer);
            row.push_back(std::to_string(r % 300));
            row.push_back(r % 3 == 0 ? "1" : "2");
            row.push_back(std::to_string((r % 97) * 10000));
            row.push_back(Syllable(r) + Syllable(r + 1) + Syllable(r + 2));
            row.push_back(r % 5 == 0 ? Syllable(r * 3) + Syllable(r * 5) + " memo text, with a comma" : "");
            row.push_back(r % 2 == 0 ? "Y" : "N");
            row.push_back("0");
            row.push_back(std::to_string(1000000 + r));
            rows_.push_back(std::move(row));
        }
    }
    int GetColumnCount() const override { return kColumns; }
    std::string GetColumnHeading(int nCol) const override { return headings_[static_cast<size_t>(nCol)]; }
    int GetItemCount() const override { return static_cast<int>(rows_.size()); }
    std::string GetItemText(int nItem, int nSubItem) const override {
        return rows_[static_cast<size_t>(nItem)][static_cast<size_t>(nSubItem)];
    }
    int GetSelectedCount() const override { return GetItemCount(); }
    int GetNextSelectedItem(int nItem) const override { return nItem + 1 < GetItemCount() ? nItem + 1 : -1; }

private:
    std::vector<std::string> headings_;
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "bench-export-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 1;
    const fs::path dir = pattern;

    const BenchList list(rows);
    platform::ScriptedMessages messages;  // no boxes on screen
    platform::ScriptedShell shell;        // nothing started on the desktop
    platform::spreadsheet::SpreadsheetProbe probe;

    std::vector<double> seconds;
    size_t calls = 0;
    uintmax_t bytes = 0;
    for (int run = 0; run < runs; ++run) {
        ExportRequest request;
        request.list = &list;
        request.title = "bench";
        request.fileName = "bench" + std::to_string(run) + ".xls";
        request.startDir = dir.string();
        request.textColumns = {2, 3};
        const auto start = std::chrono::steady_clock::now();
        const bool ok = ExportSelection(request);
        const auto end = std::chrono::steady_clock::now();
        if (!ok) {
            std::fprintf(stderr, "export failed\n");
            return 1;
        }
        seconds.push_back(std::chrono::duration<double>(end - start).count());
        calls = probe.LastCalls().Size();
        bytes = fs::file_size(dir / request.fileName);
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("export of %d selected rows x %d columns: %zu recorded calls, %ju bytes\n", rows, kColumns,
                calls, bytes);
    std::printf("  min %.3f s, median %.3f s, max %.3f s over %d runs (target: under 2 s)\n", seconds.front(),
                seconds[seconds.size() / 2], seconds.back(), runs);
    std::error_code error;
    fs::remove_all(dir, error);
    return 0;
}
