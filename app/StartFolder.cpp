#include "app/StartFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr char kFolderName[] = "orvanta";
constexpr char kSoundName[] = "notify.wav";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// Where a package puts the alert sound: the data folders of the desktop, and the share
// folder beside the program's own bin folder (an install under another prefix).
std::vector<fs::path> InstalledSoundCandidates() {
    std::vector<fs::path> candidates;
    std::string dirs = Env("XDG_DATA_DIRS");
    if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const fs::path dir(dirs.substr(start, end - start));
        if (dir.is_absolute()) candidates.push_back(dir / kFolderName / kSoundName);
        start = end + 1;
    }
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (!error) candidates.push_back(exe.parent_path().parent_path() / "share" / kFolderName / kSoundName);
    return candidates;
}

}  // namespace

std::string CStartFolder::PerUserFolder() {
    // Relative values are to be ignored, as the desktop's base-directory rules say.
    const std::string dataHome = Env("XDG_DATA_HOME");
    if (!dataHome.empty() && fs::path(dataHome).is_absolute()) return (fs::path(dataHome) / kFolderName).string();
    const std::string home = Env("HOME");
    if (home.empty() || !fs::path(home).is_absolute()) return {};
    return (fs::path(home) / ".local" / "share" / kFolderName).string();
}

const char* CStartFolder::GuideText() {
    return "; 오르반타 설정 파일 (Orvanta settings)\n"
           ";\n"
           "; SERVER_IP_ADDR 에 데이터베이스 주소를 적은 뒤 프로그램을 다시 시작하십시오.\n"
           "; Write the database address after SERVER_IP_ADDR= and start Orvanta again.\n"
           ";   SERVER_IP_ADDR=file:/home/me/orvanta.db   이 컴퓨터의 데이터베이스 파일 (one desk)\n"
           ";   SERVER_IP_ADDR=postgresql://desk_a@db.example.com/orvanta?sslmode=verify-full\n"
           ";                                             여러 데스크가 함께 쓰는 PostgreSQL 서버 (many desks)\n"
           "; 비밀번호는 여기가 아니라 ~/.pgpass 에 적습니다. The password goes in ~/.pgpass, not here.\n"
           ";\n"
           "; MINI_PRINT_DRIVER: 영수증 프린터. 설치된 프린터 이름 또는 pdf:폴더, 비워 두면 없음.\n"
           "; The receipt printer: an installed printer's name, or pdf:FOLDER; empty for none.\n"
           "\n"
           "[Orvanta]\n"
           "SERVER_IP_ADDR=\n"
           "MINI_PRINT_DRIVER=\n";
}

bool CStartFolder::Prepare(const std::string& folder) {
    std::error_code error;
    const fs::path settings = fs::path(folder) / kSettingsFile;
    if (fs::exists(settings, error)) return true;
    fs::create_directories(settings.parent_path(), error);
    if (error) return false;
    {
        std::ofstream out(settings, std::ios::binary);
        out << GuideText();
        if (!out.flush()) return false;
    }
    // Only its owner looks inside: the settings name the database, the exports hold callers.
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);

    const fs::path sound = fs::path(folder) / kSoundName;
    if (!fs::exists(sound, error)) {
        for (const fs::path& candidate : InstalledSoundCandidates()) {
            if (fs::is_regular_file(candidate, error) && fs::copy_file(candidate, sound, error)) break;
        }
    }
    return true;
}

CStartFolder::Choice CStartFolder::Enter() {
    Choice choice;
    std::error_code error;
    const fs::path start = fs::current_path(error);
    choice.folder = error ? std::string() : start.string();
    if (!error && fs::exists(start / kSettingsFile, error)) return choice;

    const std::string perUser = PerUserFolder();
    if (perUser.empty()) {
        choice.kind = Kind::Failed;
        return choice;
    }
    const bool existed = fs::exists(fs::path(perUser) / kSettingsFile, error);
    if (!Prepare(perUser)) {
        choice.kind = Kind::Failed;
        return choice;
    }
    fs::current_path(perUser, error);
    if (error) {
        choice.kind = Kind::Failed;
        return choice;
    }
    choice.kind = existed ? Kind::PerUser : Kind::Created;
    choice.folder = perUser;
    return choice;
}
