#include <gtest/gtest.h>

#include "app/WriteLog.h"
#include "platform/CodePage.h"
#include "platform/MessageBox.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScriptedMessages.h"

namespace {

TEST(CodePage, HangulCountsTwoAsciiOne) {
    EXPECT_EQ(platform::Cp949ByteLength(""), 0u);
    EXPECT_EQ(platform::Cp949ByteLength("abc"), 3u);
    EXPECT_EQ(platform::Cp949ByteLength("김상담"), 6u);
    EXPECT_EQ(platform::Cp949ByteLength("a김b"), 4u);
    EXPECT_EQ(platform::Cp949Truncate("김상담abc", 5), "김상");
    EXPECT_EQ(platform::Cp949Truncate("김상담abc", 7), "김상담a");
    // Broken UTF-8 never reads past the end.
    EXPECT_EQ(platform::Cp949ByteLength(std::string_view("\xEA\xB9", 2)), 2u);
}

TEST(WriteLog, PrefixWithoutSeparatorAndWholeText) {
    LogCapture log;
    WriteLog("CDenyView::OnButtonQueryList sql(%s)", "select 1");
    std::string big(10000, 'q');
    WriteLog("%s", big.c_str());
    auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[Orvanta]CDenyView::OnButtonQueryList sql(select 1)");
    EXPECT_EQ(lines[1], "[Orvanta]" + big);
}

TEST(MessageBox, ScriptedAnswersInOrderThenDefaultButton) {
    platform::ScriptedMessages boxes;
    boxes.Answer(platform::IDNO);
    EXPECT_EQ(platform::ShowMessageBox(nullptr, "q", "확인", platform::MB_YESNO | platform::MB_ICONQUESTION),
              platform::IDNO);
    EXPECT_EQ(platform::ShowMessageBox(nullptr, "q2", "확인", platform::MB_YESNO), platform::IDYES);
    EXPECT_EQ(platform::ShowMessageBox(nullptr, "i", "알림", platform::MB_OK), platform::IDOK);
    ASSERT_EQ(boxes.Shown().size(), 3u);
    EXPECT_EQ(boxes.Shown()[1].text, "q2");
}

}  // namespace
