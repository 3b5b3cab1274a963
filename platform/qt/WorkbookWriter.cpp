#include "platform/qt/WorkbookWriter.h"

#include <unistd.h>

#include <QString>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#if __has_include(<xlsxwriter.h>)
#include <xlsxwriter.h>
#define ORVANTA_HAVE_XLSXWRITER 1
#endif

namespace platform::spreadsheet {

namespace {

constexpr size_t kMaxCellChars = 32767;  // the most a cell holds

bool IsValidUtf8(const std::string& text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (len == 0 || (len == 2 && c < 0xC2) || i + len > n) return false;
        for (size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
        }
        i += len;
    }
    return true;
}

// The text as the file can hold it: valid UTF-8 (bad bytes become U+FFFD) and no longer
// than a cell allows.
std::string CellText(const std::string& text) {
    std::string result = IsValidUtf8(text) ? text : QString::fromUtf8(text).toUtf8().toStdString();
    size_t chars = 0;
    for (size_t i = 0; i < result.size(); ++i) {
        if ((static_cast<unsigned char>(result[i]) & 0xC0) == 0x80) continue;
        if (++chars > kMaxCellChars) {
            result.resize(i);
            break;
        }
    }
    return result;
}

// ---- comma-separated text ----

bool IsCsvName(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".csv";
}

// A spreadsheet program reading the file would change this text: take it for a formula
// (also a way to smuggle one in through a caller's data) or for a number that loses its
// leading zeros.
bool ChangedOnImport(const std::string& text) {
    if (text.empty()) return false;
    if (std::strchr("=+-@\t\r", text[0]) != nullptr) return true;
    return text.size() > 1 && text[0] == '0' &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::string Quoted(const std::string& text) {
    std::string field = "\"";
    for (char c : text) {
        if (c == '"') field += '"';
        field += c;
    }
    field += '"';
    return field;
}

// One field. Text cells and texts a program would change go as a formula that yields the
// text itself, the one form spreadsheet programs read back as that exact text.
std::string CsvField(const std::string& text, bool keepAsText) {
    if (text.empty()) return {};
    if (keepAsText || ChangedOnImport(text)) return Quoted("=" + Quoted(text));
    return Quoted(text);
}

// The first sheet as comma-separated lines in UTF-8 with a byte order mark (which tells
// spreadsheet programs the encoding), every line ended by CR LF. Merged areas keep their
// text in their first cell; every line has the same number of fields.
bool WriteCsv(const BookModel& book, const std::string& path, std::string& error) {
    if (book.sheets.empty()) {
        error = "no sheet";
        return false;
    }
    const SheetModel& sheet = book.sheets.front();
    int lastRow = -1, lastCol = -1;
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
        for (size_t c = 0; c < sheet.rows[r].size(); ++c) {
            if (!sheet.rows[r][c].hasValue) continue;
            lastRow = std::max(lastRow, static_cast<int>(r));
            lastCol = std::max(lastCol, static_cast<int>(c));
        }
    }
    for (const Area& area : sheet.merges) {
        lastRow = std::max(lastRow, area.firstRow);
        lastCol = std::max(lastCol, area.lastCol);
    }
    std::string content = "\xEF\xBB\xBF";
    for (int r = 0; r <= lastRow; ++r) {
        for (int c = 0; c <= lastCol; ++c) {
            if (c > 0) content += ',';
            const Cell* cell = sheet.Find(r, c);
            if (cell == nullptr || !cell->hasValue || sheet.CoveredBy(r, c) != nullptr) continue;
            content += CsvField(CellText(cell->text), book.styles[cell->style].text);
        }
        content += "\r\n";
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = std::string(std::strerror(errno)) + ": " + path;
        return false;
    }
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    written = std::fclose(file) == 0 && written;
    if (!written) {
        error = "cannot write " + path;
        std::remove(path.c_str());
    }
    return written;
}

// ---- Office Open XML ----

#ifdef ORVANTA_HAVE_XLSXWRITER

constexpr uint8_t kTextNumFormat = 49;   // the built-in "@" format

class Workbook {
public:
    explicit Workbook(const std::string& path) : book_(workbook_new(path.c_str())) {}
    ~Workbook() {
        if (book_ != nullptr) lxw_workbook_free(book_);  // given up on the way: write nothing
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    lxw_workbook* get() const { return book_; }
    lxw_error Close() {
        lxw_error result = workbook_close(book_);
        book_ = nullptr;
        return result;
    }

private:
    lxw_workbook* book_;
};

std::vector<lxw_format*> MakeFormats(lxw_workbook* book, const std::vector<CellStyle>& styles) {
    std::vector<lxw_format*> formats(styles.size(), nullptr);
    for (size_t i = 1; i < styles.size(); ++i) {
        const CellStyle& style = styles[i];
        if (style == CellStyle{}) continue;
        lxw_format* format = workbook_add_format(book);
        if (style.text) format_set_num_format_index(format, kTextNumFormat);
        if (style.align == HAlign::Center) format_set_align(format, LXW_ALIGN_CENTER);
        if (style.align == HAlign::Left) format_set_align(format, LXW_ALIGN_LEFT);
        if (style.align == HAlign::Right) format_set_align(format, LXW_ALIGN_RIGHT);
        if (style.bold) format_set_bold(format);
        if (style.size > 0) format_set_font_size(format, style.size);
        formats[i] = format;
    }
    return formats;
}

lxw_error WriteSheet(lxw_worksheet* ws, const SheetModel& sheet, const std::vector<lxw_format*>& formats) {
    for (const auto& [col, width] : sheet.widths) {
        const auto c = static_cast<lxw_col_t>(col);
        if (lxw_error e = worksheet_set_column(ws, c, c, width, nullptr); e != LXW_NO_ERROR) return e;
    }
    for (const Area& area : sheet.merges) {
        const Cell* first = sheet.Find(area.firstRow, area.firstCol);
        const std::string text = first != nullptr && first->hasValue ? CellText(first->text) : std::string();
        lxw_format* format = first != nullptr ? formats[first->style] : nullptr;
        lxw_error e = worksheet_merge_range(ws, static_cast<lxw_row_t>(area.firstRow),
                                            static_cast<lxw_col_t>(area.firstCol),
                                            static_cast<lxw_row_t>(area.lastRow),
                                            static_cast<lxw_col_t>(area.lastCol), text.c_str(), format);
        if (e != LXW_NO_ERROR) return e;
    }
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
        const std::vector<Cell>& cells = sheet.rows[r];
        for (size_t c = 0; c < cells.size(); ++c) {
            const Cell& cell = cells[c];
            lxw_format* format = formats[cell.style];
            if (!cell.hasValue && format == nullptr) continue;
            const int row = static_cast<int>(r);
            const int col = static_cast<int>(c);
            bool merged = false;
            for (const Area& area : sheet.merges) merged = merged || area.Contains(row, col);
            if (merged) continue;  // written with its area
            const auto lr = static_cast<lxw_row_t>(r);
            const auto lc = static_cast<lxw_col_t>(c);
            lxw_error e = cell.hasValue ? worksheet_write_string(ws, lr, lc, CellText(cell.text).c_str(), format)
                                        : worksheet_write_blank(ws, lr, lc, format);
            if (e != LXW_NO_ERROR) return e;
        }
    }
    return LXW_NO_ERROR;
}


bool WriteOpenXml(const BookModel& book, const std::string& path, std::string& error) {
    Workbook workbook(path);
    if (workbook.get() == nullptr) {
        error = "out of memory";
        return false;
    }
    const std::vector<lxw_format*> formats = MakeFormats(workbook.get(), book.styles);
    for (const SheetModel& sheet : book.sheets) {
        lxw_worksheet* ws = workbook_add_worksheet(workbook.get(), sheet.name.empty() ? nullptr : sheet.name.c_str());
        if (ws == nullptr) {
            error = "cannot add the sheet " + sheet.name;
            return false;
        }
        if (lxw_error e = WriteSheet(ws, sheet, formats); e != LXW_NO_ERROR) {
            error = lxw_strerror(e);
            return false;
        }
    }
    if (lxw_error e = workbook.Close(); e != LXW_NO_ERROR) {
        error = std::string(lxw_strerror(e)) + ": " + path;
        std::remove(path.c_str());
        return false;
    }
    return true;
}
#else   // ORVANTA_HAVE_XLSXWRITER

bool WriteOpenXml(const BookModel&, const std::string&, std::string& error) {
    error = "this build cannot write workbooks";
    return false;
}
#endif

}  // namespace

bool WriteWorkbook(const BookModel& book, const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    static std::atomic<unsigned> serial{0};
    const fs::path target(path);
    // A hidden name beside the target, so the rename stays on one file system.
    std::string tempName = ".";
    tempName += target.filename().string();
    tempName += '.';
    tempName += std::to_string(getpid());
    tempName += '.';
    tempName += std::to_string(serial++);
    tempName += ".tmp";
    const fs::path temp = target.parent_path() / tempName;

    // The writer would complain on standard error about a missing folder: check first.
    std::error_code status;
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (!fs::is_directory(folder, status)) {
        error = "no such folder: " + folder.string();
        return false;
    }

    // The desktop and spreadsheet programs take a file's type from its name: a name that
    // promises comma-separated text gets that, anything else an Office Open XML workbook.
    const bool written = IsCsvName(target) ? WriteCsv(book, temp.string(), error)
                                           : WriteOpenXml(book, temp.string(), error);
    if (!written) return false;
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        error = std::string(std::strerror(errno)) + ": " + path;
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace platform::spreadsheet
