// The per-user profile: values by section and key, names matched without regard to case.
#include <gtest/gtest.h>

#include <QSettings>

#include "platform/qt/ProfileStore.h"
#include "res/Strings.h"

namespace {

using platform::ProfileStore;

TEST(ProfileStore, DefaultsUntilWrittenThenTheValue) {
    EXPECT_EQ(ProfileStore::GetProfileString("Tests", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ProfileStore::GetProfileInt("Tests", "MissingInt", 5), 5);
    EXPECT_TRUE(ProfileStore::WriteProfileString("Tests", "Text", "7 records"));
    EXPECT_EQ(ProfileStore::GetProfileString("Tests", "Text", ""), "7 records");
    // Integers are the leading digits of the stored text.
    EXPECT_EQ(ProfileStore::GetProfileInt("Tests", "Text", 0), 7);
    EXPECT_TRUE(ProfileStore::WriteProfileString("Tests", "Text", "x"));
    EXPECT_EQ(ProfileStore::GetProfileInt("Tests", "Text", 3), 0);
}

TEST(ProfileStore, SectionAndKeyNamesIgnoreCase) {
    EXPECT_TRUE(ProfileStore::WriteProfileString("CaseSection", "Last_Id", "first"));
    EXPECT_EQ(ProfileStore::GetProfileString("CASESECTION", "LAST_ID", ""), "first");
    // A write under another spelling replaces the value rather than adding a second one.
    EXPECT_TRUE(ProfileStore::WriteProfileString("casesection", "last_id", "second"));
    EXPECT_EQ(ProfileStore::GetProfileString("CaseSection", "Last_Id", ""), "second");
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QString::fromUtf8(res::kProfileFolder),
                       QString::fromUtf8(res::kProfileFolder));
    settings.beginGroup(QStringLiteral("CaseSection"));
    EXPECT_EQ(settings.childKeys(), QStringList{QStringLiteral("Last_Id")});
}

TEST(ProfileStore, KoreanValuesSurvive) {
    const std::string value = "\xEA\xB9\x80@demo";  // a syllable, then the user
    EXPECT_TRUE(ProfileStore::WriteProfileString("ORVANTA", "KoreanValue", value));
    EXPECT_EQ(ProfileStore::GetProfileString("ORVANTA", "KoreanValue", ""), value);
}

}  // namespace
