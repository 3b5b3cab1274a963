#include "platform/qt/DesktopShell.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

constexpr int kQueryTimeoutMs = 3000;
constexpr auto kRepeatWindow = std::chrono::seconds(5);

QString Launcher() { return QStandardPaths::findExecutable(QStringLiteral("xdg-open")); }

// The first line a desktop tool prints, or empty when it fails or takes too long.
QString Query(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(kQueryTimeoutMs)) return {};
    if (!process.waitForFinished(kQueryTimeoutMs)) {
        process.kill();
        process.waitForFinished(kQueryTimeoutMs);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return {};
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    return output.section(QLatin1Char('\n'), 0, 0).trimmed();
}

}  // namespace

std::string DesktopShell::FindExecutable(const std::string& file) {
    std::error_code error;
    if (file.empty() || !std::filesystem::exists(file, error)) return {};
    const QString mime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    const QString launcher = Launcher();
    if (mime.isEmpty() || launcher.isEmpty()) return {};
    const QString type = Query(mime, {QStringLiteral("query"), QStringLiteral("filetype"), QString::fromStdString(file)});
    if (type.isEmpty()) return {};
    const QString entry = Query(mime, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (entry.isEmpty()) return {};
    if (QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry).isEmpty()) return {};
    return launcher.toStdString();
}

bool DesktopShell::StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
    if (program.empty()) return false;
    std::string command = program;
    QStringList args;
    for (const std::string& argument : arguments) {
        command += '\0' + argument;
        args << QString::fromStdString(argument);
    }
    {
        std::lock_guard lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        if (command == lastCommand_ && now - lastStart_ < kRepeatWindow) return true;
        lastCommand_ = command;
        lastStart_ = now;
    }
    if (QProcess::startDetached(QString::fromStdString(program), args)) return true;
    std::lock_guard lock(mutex_);
    lastCommand_.clear();
    return false;
}

bool DesktopShell::OpenDocument(const std::string& file) {
    const QString launcher = Launcher();
    if (launcher.isEmpty()) return false;
    return StartDetached(launcher.toStdString(), {file});
}

}  // namespace platform
