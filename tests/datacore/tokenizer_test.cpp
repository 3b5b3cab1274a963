#include <gtest/gtest.h>

#include <string>

#include "data/RecordTokenizer.h"

namespace {

std::vector<std::string> Fields(const char* row) {
    CRecordTokenizer t(row);
    std::vector<std::string> out;
    for (int i = 0; i < t.GetCount(); ++i) out.emplace_back(t.GetItem(i));
    return out;
}

TEST(RecordTokenizer, TerminatorNotSeparator) {
    EXPECT_EQ(Fields("a:;b:;c:;"), (std::vector<std::string>{"a", "b", "c"}));
    // A last value without its terminator is not a field.
    EXPECT_EQ(Fields("a:;b:;c"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Fields(":;"), (std::vector<std::string>{""}));
    EXPECT_EQ(Fields(":;:;"), (std::vector<std::string>{"", ""}));
    EXPECT_TRUE(Fields("").empty());
    EXPECT_TRUE(Fields("no terminator").empty());
    EXPECT_TRUE(Fields(nullptr).empty());
}

TEST(RecordTokenizer, ColonAndSemicolonAloneStayInValues) {
    EXPECT_EQ(Fields("a:b:;c;d:;e::;;f:;"), (std::vector<std::string>{"a:b", "c;d", "e:", ";f"}));
    // The rewritten pair as delivered by the client library.
    EXPECT_EQ(Fields("memo: ;x:;"), (std::vector<std::string>{"memo: ;x"}));
}

TEST(RecordTokenizer, FieldIndexOutsideTheRowGivesNull) {
    CRecordTokenizer t("x:;y:;");
    ASSERT_EQ(t.GetCount(), 2);
    EXPECT_STREQ(t.GetItem(1), "y");
    EXPECT_EQ(t.GetItem(2), nullptr);
    EXPECT_EQ(t.GetItem(-1), nullptr);
}

TEST(RecordTokenizer, ReparseReplacesPreviousRow) {
    CRecordTokenizer t("a:;b:;c:;");
    EXPECT_EQ(t.Parse("z:;"), 1);
    EXPECT_STREQ(t.GetItem(0), "z");
    EXPECT_EQ(t.GetItem(1), nullptr);
}

TEST(RecordTokenizer, MoreThanHundredFieldsAndLongValuesKeptWhole) {
    std::string row;
    for (int i = 0; i < 250; ++i) row += std::to_string(i) + ":;";
    std::string big(10000, 'x');
    row += big + ":;";
    CRecordTokenizer t(row.c_str());
    ASSERT_EQ(t.GetCount(), 251);
    EXPECT_STREQ(t.GetItem(199), "199");
    EXPECT_EQ(std::string(t.GetItem(250)), big);
}

TEST(RecordTokenizer, KoreanBytesUntouched) {
    EXPECT_EQ(Fields("101.대출상담:;미처리:;"), (std::vector<std::string>{"101.대출상담", "미처리"}));
}

}  // namespace
