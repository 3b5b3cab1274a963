#include "platform/qt/Spreadsheet.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/qt/SheetModel.h"
#include "platform/qt/Shell.h"
#include "platform/qt/WorkbookWriter.h"

namespace platform::spreadsheet {

namespace {

std::atomic<CreationObserver*> g_observer{nullptr};

// The most cells one call may touch; whole columns are only for AutoFit.
constexpr int64_t kMaxCellsPerCall = int64_t{1} << 20;

const char* ObjectName(Object object) {
    switch (object) {
        case Object::Application: return "Application";
        case Object::Workbooks: return "Workbooks";
        case Object::Workbook: return "Workbook";
        case Object::Worksheets: return "Worksheets";
        case Object::Worksheet: return "Worksheet";
        case Object::Range: return "Range";
        case Object::Font: return "Font";
    }
    return "?";
}

const char* MemberName(Member member) {
    switch (member) {
        case Member::Workbooks: return "Workbooks";
        case Member::Add: return "Add";
        case Member::Worksheets: return "Worksheets";
        case Member::Item: return "Item";
        case Member::Range: return "Range";
        case Member::Merge: return "Merge";
        case Member::Value2: return "Value2";
        case Member::HorizontalAlignment: return "HorizontalAlignment";
        case Member::Font: return "Font";
        case Member::Bold: return "Bold";
        case Member::Size: return "Size";
        case Member::NumberFormat: return "NumberFormat";
        case Member::EntireColumn: return "EntireColumn";
        case Member::AutoFit: return "AutoFit";
        case Member::SaveAs: return "SaveAs";
        case Member::Close: return "Close";
        case Member::Quit: return "Quit";
        case Member::Visible: return "Visible";
        case Member::UserControl: return "UserControl";
    }
    return "?";
}

enum class Kind { Get, Put, Method };

Kind MemberKind(Member member) {
    switch (member) {
        case Member::Value2:
        case Member::HorizontalAlignment:
        case Member::Bold:
        case Member::Size:
        case Member::NumberFormat:
        case Member::Visible:
        case Member::UserControl: return Kind::Put;
        case Member::Add:
        case Member::Merge:
        case Member::AutoFit:
        case Member::SaveAs:
        case Member::Close:
        case Member::Quit: return Kind::Method;
        default: return Kind::Get;
    }
}

std::string ArgText(const Arg& arg) {
    switch (arg.kind) {
        case Arg::Kind::Omitted: return "-";
        case Arg::Kind::Int16: return std::to_string(arg.number);
        case Arg::Kind::Int32: return std::to_string(arg.number) + "L";
        case Arg::Kind::Bool: return arg.number != 0 ? "true" : "false";
        case Arg::Kind::Text: return "\"" + arg.text + "\"";
    }
    return "?";
}

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

}  // namespace

// ---- call log ----

std::span<const Arg> CallLog::Args(size_t index) const {
    const Call& call = calls_[index];
    return {args_.data() + call.firstArg, call.argCount};
}

std::string CallLog::Describe(size_t index) const {
    const Call& call = calls_[index];
    std::string text = std::string(ObjectName(call.object)) + "." + MemberName(call.member);
    const std::span<const Arg> args = Args(index);
    const Kind kind = MemberKind(call.member);
    if (kind == Kind::Put && args.size() == 1) {
        text += '=';
        text += ArgText(args[0]);
    } else if (kind == Kind::Method || !args.empty()) {
        text += "(";
        for (size_t i = 0; i < args.size(); ++i) {
            if (i > 0) text += ',';
            text += ArgText(args[i]);
        }
        text += ")";
    }
    if (call.status == Call::Status::Failed) text += " !failed";
    if (call.status == Call::Status::Skipped) text += " !skipped";
    return text;
}

std::vector<std::string> CallLog::Describe() const {
    std::vector<std::string> texts;
    texts.reserve(calls_.size());
    for (size_t i = 0; i < calls_.size(); ++i) texts.push_back(Describe(i));
    return texts;
}

// ---- the application behind the handles ----

namespace detail {

struct BookState {
    BookModel model;
    bool open = true;
    bool dirty = false;
    std::string savedPath;
    std::string shownPath;  // what the desktop was asked to show
};

struct AppState {
    std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
    std::vector<BookState> books;
    uint32_t nextId[7] = {};
    bool failed = false;
    bool quit = false;
    bool visible = false;
    bool userControl = false;
    std::string error;

    uint32_t NewId(Object object) { return ++nextId[static_cast<int>(object)]; }

    // Logs a call. False when it must not run: the application is in error (logged as
    // skipped) or has quit (the call fails).
    template <class... A>
    bool Begin(size_t& call, Object object, uint32_t id, Member member, A&&... args) {
        call = log->Record(object, id, member, failed ? Call::Status::Skipped : Call::Status::Done,
                           std::forward<A>(args)...);
        if (failed) return false;
        if (quit) return Fail(call, "the application has quit");
        return true;
    }

    bool Fail(size_t call, std::string why) {
        log->SetStatus(call, Call::Status::Failed);
        failed = true;
        error = std::string(MemberName(log->At(call).member)) + ": " + std::move(why);
        return false;
    }

    bool BookOpen(size_t call, size_t book) {
        if (book < books.size() && books[book].open) return true;
        return Fail(call, "the workbook is closed");
    }

    bool Save(size_t call, BookState& book, const std::string& path) {
        std::string why;
        if (!WriteWorkbook(book.model, path, why)) return Fail(call, why);
        book.savedPath = path;
        book.dirty = false;
        ShowSaved();
        return true;
    }

    // A visible application shows its saved workbooks on the desktop.
    void ShowSaved() {
        if (!visible) return;
        for (BookState& book : books) {
            if (!book.open || book.savedPath.empty() || book.shownPath == book.savedPath) continue;
            book.shownPath = book.savedPath;
            OpenDocument(book.savedPath);  // no desktop: nothing to show, nothing to report
        }
    }
};

}  // namespace detail

// ---- Application ----

bool Application::Create(Application& app) {
    app = Application();
    CreationObserver* observer = g_observer.load();
    if (observer != nullptr && !observer->ApproveCreation()) return false;
    auto state = std::make_shared<detail::AppState>();
    if (observer != nullptr) observer->Created(state->log);
    const uint32_t id = state->NewId(Object::Application);
    app = Application(std::move(state), id);
    return true;
}

bool Application::Ok() const { return state_ != nullptr && !state_->failed; }

std::string Application::LastError() const { return state_ != nullptr ? state_->error : "no application"; }

const CallLog& Application::Calls() const {
    static const CallLog none;
    return state_ != nullptr ? *state_->log : none;
}

Workbooks Application::GetWorkbooks() {
    if (!state_) return {};
    size_t call;
    state_->Begin(call, Object::Application, id_, Member::Workbooks);
    return Workbooks(state_, state_->NewId(Object::Workbooks));
}

bool Application::PutVisible(bool visible) {
    if (!state_) return false;
    size_t call;
    if (!state_->Begin(call, Object::Application, id_, Member::Visible, Arg::Bool(visible))) return false;
    state_->visible = visible;
    state_->ShowSaved();
    return true;
}

bool Application::PutUserControl(bool userControl) {
    if (!state_) return false;
    size_t call;
    if (!state_->Begin(call, Object::Application, id_, Member::UserControl, Arg::Bool(userControl))) return false;
    state_->userControl = userControl;
    return true;
}

bool Application::Quit() {
    if (!state_) return false;
    size_t call;
    if (!state_->Begin(call, Object::Application, id_, Member::Quit)) return false;
    state_->quit = true;  // unsaved changes are dropped: nobody is left to ask
    return true;
}

// ---- Workbooks ----

Workbook Workbooks::Add(const Arg& templ) {
    if (!state_) return {};
    size_t call;
    detail::AppState& s = *state_;
    const uint32_t id = s.NewId(Object::Workbook);
    if (!s.Begin(call, Object::Workbooks, id_, Member::Add, Arg(templ))) return Workbook(state_, id, 0);
    if (templ.kind != Arg::Kind::Omitted) {
        s.Fail(call, "workbook templates are not supported");
        return Workbook(state_, id, 0);
    }
    detail::BookState book;
    book.model.sheets.push_back(SheetModel{"Sheet1", {}, {}, {}});
    s.books.push_back(std::move(book));
    return Workbook(state_, id, s.books.size() - 1);
}

// ---- Workbook ----

Worksheets Workbook::GetWorksheets() {
    if (!state_) return {};
    size_t call;
    if (state_->Begin(call, Object::Workbook, id_, Member::Worksheets)) state_->BookOpen(call, book_);
    return Worksheets(state_, state_->NewId(Object::Worksheets), book_);
}

bool Workbook::SaveAs(const Arg& filename, const Arg& fileFormat, const Arg& password, const Arg& writeResPassword,
                      const Arg& readOnlyRecommended, const Arg& createBackup, const Arg& accessMode,
                      const Arg& conflictResolution, const Arg& addToMru, const Arg& textCodepage,
                      const Arg& textVisualLayout, const Arg& local) {
    if (!state_) return false;
    detail::AppState& s = *state_;
    size_t call;
    if (!s.Begin(call, Object::Workbook, id_, Member::SaveAs, Arg(filename), Arg(fileFormat), Arg(password),
                 Arg(writeResPassword), Arg(readOnlyRecommended), Arg(createBackup), Arg(accessMode),
                 Arg(conflictResolution), Arg(addToMru), Arg(textCodepage), Arg(textVisualLayout), Arg(local))) {
        return false;
    }
    if (!s.BookOpen(call, book_)) return false;
    if (filename.kind != Arg::Kind::Text || filename.text.empty()) return s.Fail(call, "no file name");
    if (fileFormat.kind != Arg::Kind::Omitted &&
        !(fileFormat.IsNumber() && (fileFormat.number == kFileFormatWorkbook || fileFormat.number == kFileFormatOpenXml))) {
        return s.Fail(call, "unsupported file format " + ArgText(fileFormat));
    }
    if (password.kind != Arg::Kind::Omitted || writeResPassword.kind != Arg::Kind::Omitted) {
        return s.Fail(call, "passwords are not supported");
    }
    return s.Save(call, s.books[book_], AbsolutePath(filename.text));
}

bool Workbook::Close(const Arg& saveChanges, const Arg& filename, const Arg& routeWorkbook) {
    if (!state_) return false;
    detail::AppState& s = *state_;
    size_t call;
    if (!s.Begin(call, Object::Workbook, id_, Member::Close, Arg(saveChanges), Arg(filename), Arg(routeWorkbook))) {
        return false;
    }
    if (!s.BookOpen(call, book_)) return false;
    detail::BookState& book = s.books[book_];
    const bool save = saveChanges.IsNumber() && saveChanges.number != 0;
    if (save && (book.dirty || book.savedPath.empty())) {
        const std::string path = filename.kind == Arg::Kind::Text && !filename.text.empty()
                                     ? AbsolutePath(filename.text)
                                     : book.savedPath;
        if (path.empty()) return s.Fail(call, "no file name to save under");
        if (!s.Save(call, book, path)) return false;
    }
    book.open = false;
    book.model = BookModel();  // the contents go with the workbook
    return true;
}

// ---- Worksheets ----

Worksheet Worksheets::GetItem(const Arg& index) {
    if (!state_) return {};
    detail::AppState& s = *state_;
    const uint32_t id = s.NewId(Object::Worksheet);
    size_t call;
    if (!s.Begin(call, Object::Worksheets, id_, Member::Item, Arg(index)) || !s.BookOpen(call, book_)) {
        return Worksheet(state_, id, book_, 0);
    }
    const std::vector<SheetModel>& sheets = s.books[book_].model.sheets;
    if (index.IsNumber() && index.number >= 1 && static_cast<size_t>(index.number) <= sheets.size()) {
        return Worksheet(state_, id, book_, static_cast<size_t>(index.number - 1));
    }
    if (index.kind == Arg::Kind::Text) {
        for (size_t i = 0; i < sheets.size(); ++i) {
            if (sheets[i].name == index.text) return Worksheet(state_, id, book_, i);
        }
    }
    s.Fail(call, "no sheet " + ArgText(index));
    return Worksheet(state_, id, book_, 0);
}

// ---- Worksheet ----

Range Worksheet::GetRange(const std::string& cell1, const std::string& cell2) {
    if (!state_) return {};
    detail::AppState& s = *state_;
    const uint32_t id = s.NewId(Object::Range);
    size_t call;
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    if (s.Begin(call, Object::Worksheet, id_, Member::Range, Arg::Text(cell1), Arg::Text(cell2)) &&
        s.BookOpen(call, book_)) {
        if (!ParseCellRef(cell1, r1, c1) || !ParseCellRef(cell2, r2, c2)) {
            s.Fail(call, "not a cell reference: \"" + cell1 + "\", \"" + cell2 + "\"");
            r1 = c1 = r2 = c2 = 0;
        }
    }
    return Range(state_, id, book_, sheet_, std::min(r1, r2), std::min(c1, c2), std::max(r1, r2),
                 std::max(c1, c2), false);
}

// ---- Range ----

template <class Change>
bool Range::ChangeStyle(size_t call, Change change) {
    detail::AppState& s = *state_;
    if (!s.BookOpen(call, book_)) return false;
    const int64_t cells = int64_t{lastRow_ - firstRow_ + 1} * (lastCol_ - firstCol_ + 1);
    if (cells > kMaxCellsPerCall) return s.Fail(call, "the range is too large");
    detail::BookState& book = s.books[book_];
    SheetModel& sheet = book.model.sheets[sheet_];
    int from = -1;
    uint16_t to = 0;
    for (int r = firstRow_; r <= lastRow_; ++r) {
        for (int c = firstCol_; c <= lastCol_; ++c) {
            Cell& cell = sheet.At(r, c);
            if (cell.style != from) {  // runs of cells mostly share one style
                CellStyle style = book.model.styles[cell.style];
                change(style);
                from = cell.style;
                to = book.model.Intern(style);
            }
            cell.style = to;
        }
    }
    book.dirty = true;
    return true;
}

bool Range::Merge(const Arg& across) {
    if (!state_) return false;
    detail::AppState& s = *state_;
    size_t call;
    if (!s.Begin(call, Object::Range, id_, Member::Merge, Arg(across)) || !s.BookOpen(call, book_)) return false;
    if (entireColumns_) return s.Fail(call, "the range is too large");
    detail::BookState& book = s.books[book_];
    SheetModel& sheet = book.model.sheets[sheet_];
    if (across.IsNumber() && across.number != 0) {
        for (int r = firstRow_; r <= lastRow_; ++r) sheet.Merge({r, firstCol_, r, lastCol_});
    } else {
        sheet.Merge({firstRow_, firstCol_, lastRow_, lastCol_});
    }
    book.dirty = true;
    return true;
}

bool Range::PutValue2(const std::string& text) {
    if (!state_) return false;
    detail::AppState& s = *state_;
    size_t call;
    if (!s.Begin(call, Object::Range, id_, Member::Value2, Arg::Text(text)) || !s.BookOpen(call, book_)) return false;
    const int64_t cells = int64_t{lastRow_ - firstRow_ + 1} * (lastCol_ - firstCol_ + 1);
    if (cells > kMaxCellsPerCall) return s.Fail(call, "the range is too large");
    detail::BookState& book = s.books[book_];
    SheetModel& sheet = book.model.sheets[sheet_];
    for (int r = firstRow_; r <= lastRow_; ++r) {
        for (int c = firstCol_; c <= lastCol_; ++c) {
            Cell& cell = sheet.At(r, c);
            cell.text = text;
            cell.hasValue = true;
        }
    }
    book.dirty = true;
    return true;
}

bool Range::PutHorizontalAlignment(int16_t alignment) {
    if (!state_) return false;
    size_t call;
    if (!state_->Begin(call, Object::Range, id_, Member::HorizontalAlignment, Arg::I2(alignment))) return false;
    HAlign align;
    switch (alignment) {
        case kHAlignCenter: align = HAlign::Center; break;
        case kHAlignLeft: align = HAlign::Left; break;
        case kHAlignRight: align = HAlign::Right; break;
        case kHAlignGeneral: align = HAlign::General; break;
        default: return state_->Fail(call, "unsupported alignment " + std::to_string(alignment));
    }
    return ChangeStyle(call, [align](CellStyle& style) { style.align = align; });
}

Font Range::GetFont() {
    if (!state_) return {};
    size_t call;
    state_->Begin(call, Object::Range, id_, Member::Font);
    return Font(state_, state_->NewId(Object::Font), *this);
}

bool Range::PutNumberFormat(const std::string& format) {
    if (!state_) return false;
    size_t call;
    if (!state_->Begin(call, Object::Range, id_, Member::NumberFormat, Arg::Text(format))) return false;
    bool text;
    if (format == "@") {
        text = true;
    } else if (format == "General" || format.empty()) {
        text = false;
    } else {
        return state_->Fail(call, "unsupported number format \"" + format + "\"");
    }
    return ChangeStyle(call, [text](CellStyle& style) { style.text = text; });
}

Range Range::GetEntireColumn() {
    if (!state_) return {};
    size_t call;
    state_->Begin(call, Object::Range, id_, Member::EntireColumn);
    return Range(state_, state_->NewId(Object::Range), book_, sheet_, 0, firstCol_, kMaxRows - 1, lastCol_, true);
}

bool Range::AutoFit() {
    if (!state_) return false;
    detail::AppState& s = *state_;
    size_t call;
    if (!s.Begin(call, Object::Range, id_, Member::AutoFit) || !s.BookOpen(call, book_)) return false;
    if (!entireColumns_) return s.Fail(call, "AutoFit needs whole columns");
    detail::BookState& book = s.books[book_];
    AutoFitColumns(book.model, book.model.sheets[sheet_], firstCol_, lastCol_);
    book.dirty = true;
    return true;
}

// ---- Font ----

bool Font::PutBold(int16_t bold) {
    if (!state_) return false;
    size_t call;
    if (!state_->Begin(call, Object::Font, id_, Member::Bold, Arg::I2(bold))) return false;
    return range_.ChangeStyle(call, [bold](CellStyle& style) { style.bold = bold != 0; });
}

bool Font::PutSize(int16_t points) {
    if (!state_) return false;
    size_t call;
    if (!state_->Begin(call, Object::Font, id_, Member::Size, Arg::I2(points))) return false;
    if (points < 1 || points > 409) return state_->Fail(call, "unsupported font size " + std::to_string(points));
    return range_.ChangeStyle(call, [points](CellStyle& style) { style.size = static_cast<uint16_t>(points); });
}

// ---- helpers ----

CreationObserver* SetCreationObserver(CreationObserver* observer) { return g_observer.exchange(observer); }

bool ParseCellRef(const std::string& ref, int& row, int& col) {
    size_t i = 0;
    if (i < ref.size() && ref[i] == '$') ++i;
    int column = 0;
    size_t letters = 0;
    for (; i < ref.size(); ++i, ++letters) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(ref[i])));
        if (c < 'A' || c > 'Z') break;
        if (letters == 3) return false;
        column = column * 26 + (c - 'A' + 1);
    }
    if (letters == 0 || column > kMaxColumns) return false;
    if (i < ref.size() && ref[i] == '$') ++i;
    if (i >= ref.size() || ref[i] == '0') return false;
    int number = 0;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9') return false;
        number = number * 10 + (ref[i] - '0');
        if (number > kMaxRows) return false;
    }
    row = number - 1;
    col = column - 1;
    return true;
}

}  // namespace platform::spreadsheet
