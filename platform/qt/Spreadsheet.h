// The spreadsheet automation objects the export drives: Application, Workbooks, Workbook,
// Worksheets, Worksheet, Range and Font, with just the members the export uses. Objects are
// handles onto one application, as automation references are; the application lives while
// any handle does.
//
// Every call is recorded in the application's call log, in order, with its object, member
// and arguments. The first call that fails (a bad reference, a file that cannot be written)
// puts the application in error: later calls do nothing and are logged as skipped, Ok()
// turns false and LastError() says why, so a caller checks once after a series of calls.
//
// SaveAs writes the workbook in the form its file name promises (WorkbookWriter): a ".csv"
// name gets comma-separated text, any other an Office Open XML workbook. Visible = true shows the saved workbook in the
// desktop's associated application (through platform/qt/Shell), without waiting for it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace platform::spreadsheet {

// Argument values of the members.
constexpr int kHAlignCenter = -4108;
constexpr int kHAlignLeft = -4131;
constexpr int kHAlignRight = -4152;
constexpr int kHAlignGeneral = 1;
constexpr int kFileFormatWorkbook = -4143;  // the normal workbook format
constexpr int kFileFormatOpenXml = 51;
constexpr int kAccessModeNoChange = 1;
constexpr int kConflictUserResolution = 1;

enum class Object : uint8_t { Application, Workbooks, Workbook, Worksheets, Worksheet, Range, Font };

enum class Member : uint8_t {
    Workbooks, Add, Worksheets, Item, Range, Merge, Value2, HorizontalAlignment, Font, Bold,
    Size, NumberFormat, EntireColumn, AutoFit, SaveAs, Close, Quit, Visible, UserControl,
};

// An argument as the automation passes it: a 2- or 4-byte integer, a boolean, a string, or
// omitted.
struct Arg {
    enum class Kind : uint8_t { Omitted, Int16, Int32, Bool, Text };
    Kind kind = Kind::Omitted;
    int32_t number = 0;
    std::string text;

    static Arg Omitted() { return {}; }
    static Arg I2(int16_t value) { return {Kind::Int16, value, {}}; }
    static Arg I4(int32_t value) { return {Kind::Int32, value, {}}; }
    static Arg Bool(bool value) { return {Kind::Bool, value ? 1 : 0, {}}; }
    static Arg Text(std::string value) { return {Kind::Text, 0, std::move(value)}; }
    bool IsNumber() const { return kind == Kind::Int16 || kind == Kind::Int32 || kind == Kind::Bool; }
};

struct Call {
    enum class Status : uint8_t { Done, Failed, Skipped };
    Object object;
    Member member;
    Status status;
    uint32_t objectId;  // which object of its kind: each property get gives a new one
    uint32_t firstArg;
    uint32_t argCount;
};

class CallLog {
public:
    size_t Size() const { return calls_.size(); }
    const Call& At(size_t index) const { return calls_[index]; }
    std::span<const Arg> Args(size_t index) const;
    // One call as text, e.g. Worksheet.Range("A1","C1"), Range.Value2="x", Font.Size=24,
    // Workbook.SaveAs("/a.xls",-4143L,-,...): 4-byte integers carry an L, omitted
    // arguments show as -, failed and skipped calls end in " !failed" / " !skipped".
    std::string Describe(size_t index) const;
    std::vector<std::string> Describe() const;

    template <class... A>
    size_t Record(Object object, uint32_t objectId, Member member, Call::Status status, A&&... args) {
        calls_.push_back({object, member, status, objectId, static_cast<uint32_t>(args_.size()),
                          static_cast<uint32_t>(sizeof...(A))});
        (args_.push_back(std::forward<A>(args)), ...);
        return calls_.size() - 1;
    }
    void SetStatus(size_t index, Call::Status status) { calls_[index].status = status; }

private:
    std::vector<Call> calls_;
    std::vector<Arg> args_;  // all calls' arguments, one after the other
};

namespace detail {
struct AppState;
}

class Font;
class Range;
class Worksheet;
class Worksheets;
class Workbook;
class Workbooks;

// Common part of the handles: the application and which object this is.
class Handle {
public:
    explicit operator bool() const { return state_ != nullptr; }

protected:
    Handle() = default;
    Handle(std::shared_ptr<detail::AppState> state, uint32_t id) : state_(std::move(state)), id_(id) {}
    std::shared_ptr<detail::AppState> state_;
    uint32_t id_ = 0;
};

class Application : public Handle {
public:
    Application() = default;  // no application

    // Starts a new application. False when none can be had (a test may refuse it through a
    // CreationObserver); app is then left empty.
    static bool Create(Application& app);

    bool Ok() const;
    std::string LastError() const;
    const CallLog& Calls() const;

    Workbooks GetWorkbooks();
    bool PutVisible(bool visible);
    bool PutUserControl(bool userControl);
    bool Quit();

private:
    friend class Workbooks;
    using Handle::Handle;
};

class Workbooks : public Handle {
public:
    Workbooks() = default;
    Workbook Add(const Arg& templ = Arg::Omitted());

private:
    friend class Application;
    using Handle::Handle;
};

class Workbook : public Handle {
public:
    Workbook() = default;
    Worksheets GetWorksheets();
    // Filename, FileFormat, Password, WriteResPassword, ReadOnlyRecommended, CreateBackup,
    // AccessMode, ConflictResolution, AddToMru, TextCodepage, TextVisualLayout, Local. A
    // relative file name is taken from the current directory.
    bool SaveAs(const Arg& filename, const Arg& fileFormat, const Arg& password,
                const Arg& writeResPassword, const Arg& readOnlyRecommended, const Arg& createBackup,
                const Arg& accessMode, const Arg& conflictResolution, const Arg& addToMru,
                const Arg& textCodepage, const Arg& textVisualLayout, const Arg& local);
    // With SaveChanges non-zero, unsaved changes are saved first (under Filename when given).
    bool Close(const Arg& saveChanges, const Arg& filename, const Arg& routeWorkbook);

private:
    friend class Workbooks;
    friend class Worksheets;
    Workbook(std::shared_ptr<detail::AppState> state, uint32_t id, size_t book)
        : Handle(std::move(state), id), book_(book) {}
    size_t book_ = 0;
};

class Worksheets : public Handle {
public:
    Worksheets() = default;
    // By 1-based number or by name.
    Worksheet GetItem(const Arg& index);

private:
    friend class Workbook;
    Worksheets(std::shared_ptr<detail::AppState> state, uint32_t id, size_t book)
        : Handle(std::move(state), id), book_(book) {}
    size_t book_ = 0;
};

class Worksheet : public Handle {
public:
    Worksheet() = default;
    // Cell1 and Cell2 are references such as "A1" and "AB12"; the range spans both.
    Range GetRange(const std::string& cell1, const std::string& cell2);

private:
    friend class Worksheets;
    Worksheet(std::shared_ptr<detail::AppState> state, uint32_t id, size_t book, size_t sheet)
        : Handle(std::move(state), id), book_(book), sheet_(sheet) {}
    size_t book_ = 0;
    size_t sheet_ = 0;
};

class Range : public Handle {
public:
    Range() = default;
    // Across non-zero merges each row of the range on its own.
    bool Merge(const Arg& across);
    // Always text: the value is kept exactly as given.
    bool PutValue2(const std::string& text);
    bool PutHorizontalAlignment(int16_t alignment);
    Font GetFont();
    // "@" (text) or "General".
    bool PutNumberFormat(const std::string& format);
    Range GetEntireColumn();
    // Widths of the range's whole columns from their texts.
    bool AutoFit();

private:
    friend class Worksheet;
    friend class Font;
    Range(std::shared_ptr<detail::AppState> state, uint32_t id, size_t book, size_t sheet, int firstRow,
          int firstCol, int lastRow, int lastCol, bool entireColumns)
        : Handle(std::move(state), id), book_(book), sheet_(sheet), firstRow_(firstRow), firstCol_(firstCol),
          lastRow_(lastRow), lastCol_(lastCol), entireColumns_(entireColumns) {}
    template <class Change>
    bool ChangeStyle(size_t call, Change change);

    size_t book_ = 0;
    size_t sheet_ = 0;
    int firstRow_ = 0;
    int firstCol_ = 0;
    int lastRow_ = 0;
    int lastCol_ = 0;
    bool entireColumns_ = false;
};

class Font : public Handle {
public:
    Font() = default;
    bool PutBold(int16_t bold);
    bool PutSize(int16_t points);

private:
    friend class Range;
    Font(std::shared_ptr<detail::AppState> state, uint32_t id, Range range)
        : Handle(std::move(state), id), range_(std::move(range)) {}
    Range range_;
};

// Sees every application being created (tests): may refuse the creation, and may keep the
// application's call log after the application is gone.
class CreationObserver {
public:
    virtual ~CreationObserver() = default;
    virtual bool ApproveCreation() = 0;
    virtual void Created(std::shared_ptr<const CallLog> calls) = 0;
};

// Installs an observer (not owned); null removes it. Returns the previous one.
CreationObserver* SetCreationObserver(CreationObserver* observer);

// Parses a cell reference such as "AB12" into 0-based row and column; false when it is not
// a reference to a cell of a sheet.
bool ParseCellRef(const std::string& ref, int& row, int& col);

}  // namespace platform::spreadsheet
