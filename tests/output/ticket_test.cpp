#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "output/Ticket.h"
#include "tests/output/RecordingPrinter.h"

namespace {

TicketFields SampleFields() {
    TicketFields fields;
    fields.recvPhone = "02-1234-5678";
    fields.callerId = "010-9876-5432";
    fields.dialDate = "2026-12-08";
    fields.dialTime = "14:03:27";
    fields.commTime = "35";
    fields.loanType = "신용";
    fields.amount = "3000";
    return fields;
}

std::string Joined(const std::vector<std::string>& calls) {
    std::string text;
    for (const std::string& call : calls) text += call + "\n";
    return text;
}

// Compares with tests/data/NAME; ORVANTA_UPDATE_GOLDEN=1 rewrites the file instead.
void ExpectGolden(const std::string& name, const std::string& actual) {
    const std::string path = std::string(ORVANTA_SOURCE_DIR) + "/tests/data/" + name;
    if (const char* update = std::getenv("ORVANTA_UPDATE_GOLDEN"); update != nullptr && std::string(update) == "1") {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing golden file " << path;
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(actual, expected.str()) << "golden file " << path;
}

}  // namespace

TEST(TicketTest, LoanTicketDrawingMatchesGolden) {
    RecordingPrinter rec;
    EXPECT_TRUE(PrintTicket("receipt", SampleFields(), true));
    ExpectGolden("ticket_loan.golden", Joined(rec.recording->calls));
}

TEST(TicketTest, GeneralTicketDrawingMatchesGolden) {
    RecordingPrinter rec;
    EXPECT_TRUE(PrintTicket("receipt", SampleFields(), false));
    ExpectGolden("ticket_general.golden", Joined(rec.recording->calls));
}

TEST(TicketTest, LinesKeepTheirTrailingBlanksAndOnlyTheLoanLayoutAddsTypeAndAmount) {
    const std::vector<std::string> general = TicketLines(SampleFields(), false);
    const std::vector<std::string> loan = TicketLines(SampleFields(), true);
    ASSERT_EQ(general.size(), 4u);
    ASSERT_EQ(loan.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(loan.begin(), loan.begin() + 4), general);
    EXPECT_EQ(general[0].back(), '8');
    EXPECT_EQ(general[1].back(), '2');
    for (size_t i = 2; i < loan.size(); ++i) EXPECT_EQ(loan[i].back(), ' ') << "line " << i + 1;
    EXPECT_NE(general[2].find("2026-12-08 14:03:27 "), std::string::npos);
}

TEST(TicketTest, ReportsEveryWayTheTicketCanFailToReachThePrinter) {
    {
        RecordingPrinter rec;
        EXPECT_FALSE(PrintTicket("", SampleFields(), true));  // no printer configured
        EXPECT_TRUE(rec.recording->calls.empty());
    }
    {
        RecordingPrinter rec;
        rec.recording->failStartDoc = true;
        EXPECT_FALSE(PrintTicket("receipt", SampleFields(), true));
        EXPECT_TRUE(rec.recording->texts.empty());
        EXPECT_EQ(rec.recording->calls.back(), "DeleteDC");
    }
    {
        RecordingPrinter rec;
        rec.recording->failStartPage = true;
        EXPECT_FALSE(PrintTicket("receipt", SampleFields(), true));
        EXPECT_TRUE(rec.recording->texts.empty());
        // The job that did start is ended rather than left open on the printer.
        EXPECT_EQ(rec.Calls("EndDoc"), std::vector<std::string>{"EndDoc"});
    }
    {
        // Lines drawn but the job could not be finished: not printed either.
        RecordingPrinter rec;
        rec.recording->failEndDoc = true;
        EXPECT_FALSE(PrintTicket("receipt", SampleFields(), true));
        EXPECT_EQ(rec.Calls("EndDoc"), std::vector<std::string>{"EndDoc -> fail"});
    }
}
