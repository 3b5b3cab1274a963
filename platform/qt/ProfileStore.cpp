#include "platform/qt/ProfileStore.h"

#include <QSettings>
#include <QStringList>
#include <cstdlib>

namespace platform {

namespace {

std::string& Root() {
    static std::string root;
    return root;
}

std::string& Application() {
    static std::string application;
    return application;
}

QString Existing(const QStringList& names, const QString& wanted) {
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) return name;
    }
    return wanted;
}

// The stored spelling of section/key, or the given one for a new value.
QString PathOf(QSettings& settings, const std::string& section, const std::string& key) {
    QString group = Existing(settings.childGroups(), QString::fromStdString(section));
    settings.beginGroup(group);
    QString name = Existing(settings.childKeys(), QString::fromStdString(key));
    settings.endGroup();
    return group + QLatin1Char('/') + name;
}

QSettings Open(const std::string& root, const std::string& application) {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(root),
                     QString::fromStdString(application));
}

QSettings Open() { return Open(Root(), Application()); }

}  // namespace

void ProfileStore::SetRegistryKey(const std::string& root) { Root() = root; }

void ProfileStore::SetProfileName(const std::string& application) { Application() = application; }

std::string ProfileStore::GetProfileString(const std::string& section, const std::string& key,
                                           const std::string& defaultValue) {
    QSettings settings = Open();
    QVariant value = settings.value(PathOf(settings, section, key));
    if (!value.isValid()) return defaultValue;
    return value.toString().toStdString();
}

bool ProfileStore::WriteProfileString(const std::string& section, const std::string& key,
                                      const std::string& value) {
    QSettings settings = Open();
    settings.setValue(PathOf(settings, section, key), QString::fromStdString(value));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

int ProfileStore::GetProfileInt(const std::string& section, const std::string& key, int defaultValue) {
    QSettings settings = Open();
    QVariant value = settings.value(PathOf(settings, section, key));
    if (!value.isValid()) return defaultValue;
    return static_cast<int>(std::strtol(value.toString().toStdString().c_str(), nullptr, 10));
}

bool ProfileStore::WriteProfileInt(const std::string& section, const std::string& key, int value) {
    return WriteProfileString(section, key, std::to_string(value));
}

int ProfileStore::ImportProfile(const std::string& root, const std::string& application) {
    QSettings current = Open();
    if (!current.allKeys().isEmpty()) return 0;
    QSettings old = Open(root, application);
    if (old.fileName() == current.fileName()) return 0;
    const QStringList keys = old.allKeys();
    for (const QString& key : keys) {
        // Sections that differ only in case are one section, as they always were.
        const qsizetype slash = key.lastIndexOf(QLatin1Char('/'));
        const QString path =
            slash < 0 ? key : PathOf(current, key.left(slash).toStdString(), key.mid(slash + 1).toStdString());
        current.setValue(path, old.value(key));
    }
    current.sync();
    return current.status() == QSettings::NoError ? static_cast<int>(keys.size()) : 0;
}

std::string ProfileStore::ProfileFileName() { return Open().fileName().toStdString(); }

}  // namespace platform
