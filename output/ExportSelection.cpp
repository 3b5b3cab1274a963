#include "output/ExportSelection.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "output/ExcelExport.h"
#include "output/ListSource.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/Shell.h"

const char* const kCallbackExportTitle = "콜백데이터목록";
const char* const kCallbackExportFile = "%s\\콜백데이터목록.xls";
const char* const kDenyExportTitle = "수신거부 등록자 목록";
const char* const kDenyExportFile = "수신거부등록자목록%s_%s.csv";
const char* const kExportSavedNotOpened = "(%s) 화일에 저장 되었습니다. 화일을 열 프로그램이 없습니다.";

namespace {

const char* const kNothingSelected = "선택된 데이터가 없습니다\r출력할 데이터를 선택한 후 다시 시도 하세요!";
const char* const kExportFailed = "내보내기 실패.";
const char* const kCaptionConfirm = "확인";
const char* const kSubTitle = "출력시간:%s";

}  // namespace

std::string ExportTimeText() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    return platform::StrFormat("%02d:%02d:%02d:%03d", local.tm_hour, local.tm_min, local.tm_sec,
                               static_cast<int>(millis));
}

std::string ResolveExportPath(const std::string& fileName, const std::string& startDir) {
    namespace fs = std::filesystem;
    const auto slashes = [](std::string text) {
        std::replace(text.begin(), text.end(), '\\', '/');
        return text;
    };
    const fs::path name(slashes(fileName));
    if (name.is_absolute()) return name.lexically_normal().string();
    std::error_code error;
    fs::path base = startDir.empty() ? fs::current_path(error) : fs::path(slashes(startDir));
    if (base.is_relative()) base = fs::absolute(base, error);
    return (base / name).lexically_normal().string();
}

bool ExportSelection(const ExportRequest& request) {
    const IListSource* list = request.list;
    // 1. Something must be selected.
    if (list == nullptr || list->GetSelectedCount() <= 0) {
        platform::ShowMessageBox(request.owner, kNothingSelected, kCaptionConfirm,
                                 platform::MB_OK | platform::MB_ICONINFORMATION);
        return false;
    }
    // 2. The output time.
    const std::string timeText = request.timeText.empty() ? ExportTimeText() : request.timeText;

    // 3. The exporter, with the path resolved once for the check, the save and the opening.
    CExcelExport excel;
    excel.SetListCtrl(list);
    excel.SetFileName(ResolveExportPath(request.fileName, request.startDir));
    excel.SetTitle(request.title);
    excel.SetSubTitle(platform::StrFormat(kSubTitle, timeText.c_str()));

    // 4. The selected rows.
    excel.SetRowCount(list->GetItemCount());
    for (int item = list->GetNextSelectedItem(-1), previous = -1; item > previous;
         previous = item, item = list->GetNextSelectedItem(item)) {
        excel.MarkRow(item);
    }

    // 5. Text columns (and columns left out).
    for (int column : request.textColumns) excel.SetTextColumn(column);
    for (int column : request.excludedColumns) excel.ExcludeColumn(column);

    // 6. The export, shown to the user.
    if (!excel.Export(true, false, true)) {
        platform::ShowMessageBox(request.owner, kExportFailed, kCaptionConfirm,
                                 platform::MB_OK | platform::MB_ICONINFORMATION);
        return false;
    }
    // A file that was written but not opened is still the user's: say where it is. A file
    // that is not there was not written, whatever the program look-up would have said.
    const std::string path = excel.FilePath();
    const auto written = [&path] {
        std::error_code error;
        return std::filesystem::is_regular_file(path, error);
    };
    const bool opened = request.openAfter ? excel.OpenExportedFile() : !platform::FindExecutable(path).empty();
    if (!opened && request.showNote && written()) request.showNote(platform::StrFormat(kExportSavedNotOpened, path.c_str()));
    return true;
}
