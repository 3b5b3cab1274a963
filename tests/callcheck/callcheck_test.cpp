// The callback-request view on its own fixture database: the lists of both layouts and their
// statements, the service switches, sorting, the record actions with their questions and
// dialogs, the rate report, and an action's rows held against a reload.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTextCursor>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "callcheck/AutoCheck.h"
#include "callcheck/AutoCheckBinding.h"
#include "callcheck/CallCheckView.h"
#include "callcheck/DlgManualDist.h"
#include "callcheck/DlgMemo.h"
#include "callcheck/TimeStamp.h"
#include "controls/ColorLabel.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/ListCtrl.h"
#include "data/Queries.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/ProfileStore.h"
#include "rdb/engine/Engine.h"
#include "res/Strings.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Rows.h"
#include "tests/support/qt/RecordingSound.h"
#include "tests/support/ScriptedMessages.h"

namespace {

using platform::MB_ICONERROR;
using platform::MB_ICONEXCLAMATION;
using platform::MB_ICONINFORMATION;
using platform::MB_ICONQUESTION;
using platform::MB_OK;
using platform::MB_YESNO;
using platform::MessageBoxRequest;
using Strings = std::vector<std::string>;

// The system's texts, as the product states them.
constexpr char kSelectService[] = "서비스 ID를 선택하여 주십시오";
constexpr char kNoCallbackData[] = "지정된 기간에 대한 콜백 자료가 없습니다.";
constexpr char kNoMatchingData[] = "지정된 조건에 맞는 데이터가 없습니다.";
constexpr char kCompleteQuestion[] = "선택된 데이터를 완료 처리하면 다시 출력 할 수 업습니다\r계속 하시겠습니까 ?";
constexpr char kNoSelection[] = "선택된 데이터가 없습니다";
constexpr char kMemoOneRow[] = "메모 입력시에는 한건만 선택 가능합니다.";
constexpr char kDistQuestion[] = "(%d)건의 자료를 상담원(%s)에게 분배합니다.계속 하시겠습니까 ?";
constexpr char kSelectAgent[] = "분배할 상담원을 선택하여 주십시오";
constexpr char kNoRateData[] = "지정된 기간에 대한 자료가 없습니다.";
constexpr char kDdxMaxChars[] = "%1 이하의 문자를 입력하십시오.";
constexpr char kAppTitle[] = "오르반타";
constexpr char kError[] = "에러";
constexpr char kConfirm[] = "확인";
constexpr char kLogCheck[] = "CCallCheckView::CheckCallbackData sql(%s)";
constexpr char kLogCompleteList[] = "CCallCheckView::OnButtonQueryCompleteList sql(%s)";
constexpr char kLogComplete[] = "OnButtonCheckComplete sql(%s)";
constexpr char kLogComment[] = "OnButtonUpdateComment sql(%s)";
constexpr char kLogDist[] = "OnButtonCallbackDist sql(%s)";
constexpr char kLogRate[] = "CCallCheckView::OnButtonCallbackPercent sql(%s)";
const Strings kLoanHeadings = {"NO.", "ACS_ID", "서비스", "전화번호", "발신번호", "유형", "금액", "수신일자", "수신시각", "처리여부", "메모", "통화시간", "상담요청", "분배상담원"};
const Strings kGeneralHeadings = {"NO.", "ACS_ID", "서비스", "전화번호", "발신번호", "수신일자", "수신시각", "통화시간", "처리여부", "콜백요청", "메모", "분배상담원"};
const Strings kRateHeadings = {"NO.", "서비스", "시간대", "인입건수", "콜백건수", "콜백율"};
const int kLoanWidths[] = {50, 0, 150, 100, 100, 40, 80, 80, 60, 60, 200, 70, 80, 100};

QDate Day(const char* yyyymmdd) { return QDate::fromString(QString::fromLatin1(yyyymmdd), QStringLiteral("yyyyMMdd")); }

// The diagnostics line of a statement.
std::string Line(const char* format, const std::string& sql) {
    return "[Orvanta]" + platform::StrFormat(format, sql.c_str());
}

Strings Column(const CListCtrl& list, int column) {
    Strings texts;
    for (int i = 0; i < list.GetItemCount(); ++i) texts.push_back(list.GetItemText(i, column));
    return texts;
}

Strings Headings(const CListCtrl& list) {
    Strings texts;
    for (int i = 0; i < list.GetColumnCount(); ++i) texts.push_back(list.GetColumnHeading(i));
    return texts;
}

Strings Numbers(int count) {
    Strings texts;
    for (int i = 1; i <= count; ++i) texts.push_back(std::to_string(i));
    return texts;
}

// A presenter that lets a test act while a box is open.
class HookedMessages : public platform::MessagePresenter {
public:
    HookedMessages() : previous_(platform::SetMessagePresenter(this)) {}
    ~HookedMessages() override { platform::SetMessagePresenter(previous_); }
    int Show(const MessageBoxRequest& request) override {
        shown.push_back(request);
        return onShow ? onShow(request) : platform::IDYES;
    }
    std::vector<MessageBoxRequest> shown;
    std::function<int(const MessageBoxRequest&)> onShow;

private:
    platform::MessagePresenter* previous_;
};

class CallCheckTest : public ::testing::Test {
protected:
    CallCheckTest() { CreateFixtureDatabase(dbPath_); }

    void Open(const std::string& userId = "demo", const std::string& agent = "") {
        view_.reset();
        session_.reset();
        session_ = std::make_unique<EnvSession>("file:" + dbPath_, userId, agent);
        log_.Clear();
        view_ = std::make_unique<CCallCheckView>();
        view_->OnInitialUpdate();
        view_->m_dateFrom->setDate(Day(kDay1));
        view_->m_dateTo->setDate(Day(kDay3));
        boxes_.Clear();
    }

    // Picks a service the way the user does: the list drops down, an item is chosen.
    void ChooseService(const std::string& serviceId) {
        view_->OnDropDownService();
        for (int i = 0; i < view_->m_comboService->GetCount(); ++i) {
            if (view_->m_comboService->GetLBText(i).rfind(serviceId + ".", 0) == 0) {
                view_->m_comboService->SetCurSel(i);
                view_->OnSelChangeService();
                return;
            }
        }
        FAIL() << "no service " << serviceId;
    }

    void Select(std::initializer_list<int> items) {
        view_->OnButtonSelectNone();
        for (int item : items) view_->m_list->SetItemSelected(item, true);
    }

    std::string ListSql(bool loan, sql::ListKind kind, const std::string& serviceId, const std::string& agent = "") {
        return sql::CallbackListSql(loan, kind, serviceId, kDay1, kDay3, agent);
    }

    // Runs a statement straight on the database file, past the desk's dialect.
    void Engine(const std::string& statement) {
        rdb::Error err;
        auto engine = rdb::Engine::Open(dbPath_, &err);
        ASSERT_TRUE(engine) << err.message;
        ASSERT_TRUE(engine->Execute(statement, nullptr, &err)) << err.message;
    }

    std::string Field(const std::string& column, int acsId) {
        const std::string sql = "select " + column + " from RST_INB where ACS_ID = " + std::to_string(acsId);
        auto rows = QueryRows(session_->Env(), sql);
        return rows.empty() ? "<none>" : FieldAt(rows[0], 0);
    }

    TempDir dir_;
    std::string dbPath_ = dir_.File("callcheck.db");
    std::unique_ptr<EnvSession> session_;
    platform::ScriptedMessages boxes_;
    LogCapture log_;
    std::unique_ptr<CCallCheckView> view_;
};

// ---------------------------------------------------------------------------------------
// Lists

TEST_F(CallCheckTest, ListsOfBothLayoutsSendTheirStatementsAndFillTheList) {
    Open();
    struct Case {
        const char* service;
        bool loan;
        void (CCallCheckView::*handler)();
        sql::ListKind kind;
        const char* logFormat;
        Strings acsIds;
        const char* listKind;
    };
    const Case cases[] = {
        {"101", true, &CCallCheckView::OnButtonQueryList, sql::ListKind::Unprocessed, kLogCheck, {"1", "2", "8", "3"},
         CCallCheckView::kListKindUnprocessed},
        {"101", true, &CCallCheckView::OnButtonQueryCompleteList, sql::ListKind::Processed, kLogCheck, {"4"},
         CCallCheckView::kListKindProcessed},
        {"101", true, &CCallCheckView::OnButtonQueryAllList, sql::ListKind::All, kLogCheck,
         {"1", "2", "8", "3", "4", "5", "6"}, CCallCheckView::kListKindAll},
        {"102", false, &CCallCheckView::OnButtonQueryList, sql::ListKind::Unprocessed, kLogCheck, {"9"},
         CCallCheckView::kListKindUnprocessed},
        {"102", false, &CCallCheckView::OnButtonQueryCompleteList, sql::ListKind::Processed, kLogCompleteList, {"11"},
         CCallCheckView::kListKindProcessed},
        {"102", false, &CCallCheckView::OnButtonQueryAllList, sql::ListKind::All, kLogCheck, {"9", "11"},
         CCallCheckView::kListKindAll},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.service) + " " + c.logFormat);
        ChooseService(c.service);
        log_.Clear();
        (view_.get()->*c.handler)();
        EXPECT_EQ(log_.Lines(), Strings{Line(c.logFormat, ListSql(c.loan, c.kind, c.service))});
        EXPECT_TRUE(boxes_.Shown().empty());
        EXPECT_EQ(view_->m_strListKind, c.listKind);
        EXPECT_EQ(Headings(*view_->m_list), c.loan ? kLoanHeadings : kGeneralHeadings);
        EXPECT_EQ(Column(*view_->m_list, 1), c.acsIds);
        EXPECT_EQ(Column(*view_->m_list, 0), Numbers(static_cast<int>(c.acsIds.size())));
    }
    // The fields in select order from column 1; the formatted phone number in column 3 and
    // the caller number in column 4 in both layouts.
    ChooseService("101");
    view_->OnButtonQueryList();
    const auto expected = QueryRows(session_->Env(), ListSql(true, sql::ListKind::Unprocessed, "101"));
    ASSERT_EQ(expected.size(), 4u);
    for (int row = 0; row < 4; ++row) {
        ASSERT_EQ(expected[row].size(), 13u);
        for (int field = 0; field < 13; ++field) {
            EXPECT_EQ(view_->m_list->GetItemText(row, field + 1), expected[row][field]);
        }
    }
    const auto formatted = QueryRows(session_->Env(), "select dbo.F_FMT_TEL('01012345678')");
    ASSERT_EQ(formatted.size(), 1u);
    EXPECT_EQ(view_->m_list->GetItemText(0, 4), FieldAt(formatted[0], 0));
    // The memo of record 2 holds the row terminator's two characters, which the library
    // rewrites inside values: the fields after it stay in their columns.
    EXPECT_EQ(view_->m_list->GetItemText(1, 11), "120");
}

TEST_F(CallCheckTest, AnAgentSeesOnlyItsOwnRecordsAndNoneOfTheAdministrationButtons) {
    const std::string agent = FixtureAgent("1234");
    ASSERT_FALSE(agent.empty());
    Open("demo", agent);
    ChooseService("101");  // its switches show both buttons for the user
    EXPECT_TRUE(view_->m_btn[CCallCheckView::BTN_QUERY_ALL_LIST]->isHidden());
    EXPECT_TRUE(view_->m_btn[CCallCheckView::BTN_MANUAL_DIST]->isHidden());
    EXPECT_TRUE(view_->m_btn[CCallCheckView::BTN_CALLBACK_RATE]->isHidden());
    log_.Clear();
    view_->OnButtonQueryList();
    const std::string sql = ListSql(true, sql::ListKind::Unprocessed, "101", agent);
    EXPECT_EQ(log_.Lines(), Strings{Line(kLogCheck, sql)});
    // The agent condition sits between the period condition and the ordering.
    const std::string condition = "IS_PRINT = '0' and AGENT_NM = '" + agent + "' order by DIAL_DATE, DIAL_TIME ";
    ASSERT_GE(sql.size(), condition.size());
    EXPECT_EQ(sql.substr(sql.size() - condition.size()), condition);
    EXPECT_EQ(Column(*view_->m_list, 1), Strings{"2"});
    EXPECT_EQ(Column(*view_->m_list, 13), Strings{agent});
}

TEST_F(CallCheckTest, TheServiceSwitchesShowTheAllListAndDistributionButtons) {
    Open();
    ChooseService("101");
    EXPECT_FALSE(view_->m_btn[CCallCheckView::BTN_QUERY_ALL_LIST]->isHidden());
    EXPECT_FALSE(view_->m_btn[CCallCheckView::BTN_MANUAL_DIST]->isHidden());
    EXPECT_FALSE(view_->m_btn[CCallCheckView::BTN_CALLBACK_RATE]->isHidden());
    ChooseService("102");
    EXPECT_TRUE(view_->m_btn[CCallCheckView::BTN_QUERY_ALL_LIST]->isHidden());
    EXPECT_TRUE(view_->m_btn[CCallCheckView::BTN_MANUAL_DIST]->isHidden());
}

TEST_F(CallCheckTest, ChangingTheServiceRebuildsTheColumnsAndEmptiesTheList) {
    Open();
    // Set-up selects the first service and builds its columns without a query.
    EXPECT_EQ(view_->m_comboService->GetCurSel(), 0);
    EXPECT_EQ(view_->m_comboService->GetCount(), 3);
    EXPECT_TRUE(view_->m_comboService->isEnabled());
    EXPECT_EQ(Headings(*view_->m_list), kLoanHeadings);
    EXPECT_TRUE(log_.Lines().empty());
    ChooseService("102");
    view_->OnButtonQueryList();
    ASSERT_EQ(view_->m_list->GetItemCount(), 1);
    ChooseService("101");
    EXPECT_EQ(view_->m_nServiceType, 1);
    EXPECT_EQ(view_->m_list->GetColumnCount(), 14);
    EXPECT_EQ(view_->m_list->GetItemCount(), 0);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(view_->m_list->GetColumnWidth(i), kLoanWidths[i]);
    view_->OnButtonQueryList();
    ChooseService("103");
    EXPECT_EQ(view_->m_nServiceType, 3);
    EXPECT_EQ(Headings(*view_->m_list), kGeneralHeadings);
    EXPECT_EQ(view_->m_list->GetItemCount(), 0);
    EXPECT_EQ(view_->m_list->GetColumnWidth(1), 0);  // the record key, hidden
}

TEST_F(CallCheckTest, ADropDownClosedWithoutAChoiceLeavesNoService) {
    Open();
    view_->m_comboService->showPopup();
    view_->m_comboService->hidePopup();
    EXPECT_EQ(view_->m_comboService->GetCurSel(), -1);
    for (auto handler : {&CCallCheckView::OnButtonQueryList, &CCallCheckView::OnButtonQueryCompleteList,
                         &CCallCheckView::OnButtonQueryAllList, &CCallCheckView::OnButtonCallbackPercent}) {
        boxes_.Clear();
        (view_.get()->*handler)();
        ASSERT_EQ(boxes_.Shown().size(), 1u);
        EXPECT_EQ(boxes_.Shown()[0].text, kSelectService);
        EXPECT_EQ(boxes_.Shown()[0].caption, kError);
        EXPECT_EQ(boxes_.Shown()[0].type, MB_OK | MB_ICONERROR);
        EXPECT_EQ(boxes_.Shown()[0].owner, static_cast<const void*>(view_.get()));
    }
    EXPECT_TRUE(log_.Lines().empty());
    // The list kind is set before the service is looked at.
    EXPECT_EQ(view_->m_strListKind, CCallCheckView::kListKindAll);
}

TEST_F(CallCheckTest, OneServiceDisablesTheComboAndNoServiceAnswersEveryListButton) {
    Open("only3");
    EXPECT_EQ(view_->m_comboService->GetCount(), 1);
    EXPECT_EQ(view_->m_comboService->GetCurSel(), 0);
    EXPECT_FALSE(view_->m_comboService->isEnabled());
    EXPECT_EQ(view_->m_nServiceType, 3);
    Open("emptypw");
    EXPECT_EQ(view_->m_comboService->GetCount(), 0);
    view_->OnButtonQueryList();
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, kSelectService);
}

TEST_F(CallCheckTest, EmptyListsShowTheirLayoutsNoDataMessage) {
    Open();
    view_->m_dateFrom->setDate(Day(kDay1));
    view_->m_dateTo->setDate(Day(kDay1));
    struct Case {
        const char* service;
        void (CCallCheckView::*handler)();
        const char* text;
        unsigned icon;
    };
    const Case cases[] = {
        {"101", &CCallCheckView::OnButtonQueryCompleteList, kNoCallbackData, MB_ICONINFORMATION},
        {"102", &CCallCheckView::OnButtonQueryCompleteList, kNoMatchingData, MB_ICONERROR},
        {"103", &CCallCheckView::OnButtonQueryList, kNoCallbackData, MB_ICONINFORMATION},
        {"103", &CCallCheckView::OnButtonQueryAllList, kNoMatchingData, MB_ICONERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.service);
        ChooseService(c.service);
        boxes_.Clear();
        (view_.get()->*c.handler)();
        ASSERT_EQ(boxes_.Shown().size(), 1u);
        EXPECT_EQ(boxes_.Shown()[0].text, c.text);
        EXPECT_EQ(boxes_.Shown()[0].caption, kConfirm);
        EXPECT_EQ(boxes_.Shown()[0].type, MB_OK | c.icon);
        EXPECT_EQ(boxes_.Shown()[0].owner, static_cast<const void*>(view_.get()));
        EXPECT_EQ(view_->m_list->GetItemCount(), 0);
    }
    // A first day after the last finds nothing.
    ChooseService("101");
    view_->m_dateFrom->setDate(Day(kDay3));
    boxes_.Clear();
    view_->OnButtonQueryAllList();
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, kNoCallbackData);
}

TEST_F(CallCheckTest, AFailedQueryShowsTheDatabaseErrorAndKeepsTheNewColumns) {
    Open();
    ChooseService("102");
    Engine("alter table RST_INB rename to RST_INB_GONE");
    ChooseService("101");
    boxes_.Clear();
    view_->OnButtonQueryList();
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].caption, kError);
    EXPECT_EQ(boxes_.Shown()[0].type, MB_OK | MB_ICONERROR);
    EXPECT_EQ(view_->m_list->GetColumnCount(), 14);
    EXPECT_EQ(view_->m_list->GetItemCount(), 0);
}

// ---------------------------------------------------------------------------------------
// Sorting, status line, threshold

TEST_F(CallCheckTest, SortingComparesTextsByteWiseAndRenumbers) {
    for (int i = 0; i < 8; ++i) {
        Engine("insert into RST_INB (ACS_ID, SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, DIAL_DATE, DIAL_TIME, IS_PRINT, "
               "IS_CALLBACK, IS_DELETE, RES_REPLY) values (" + std::to_string(100 + i) +
               ", 101, 'demo', '021', '010', '" + kDay3 + "', '1" + std::to_string(i) + "0000', '0', '1', '0', '0')");
    }
    Open();
    ChooseService("101");
    view_->OnButtonQueryList();
    ASSERT_EQ(view_->m_list->GetItemCount(), 12);
    // The direction is shared by the whole program: start from "greatest first".
    if (CCallCheckView::SortDirection() != 1) view_->OnColumnClickList(0);
    ASSERT_EQ(CCallCheckView::SortDirection(), 1);
    view_->OnButtonQueryList();
    const Strings before = Column(*view_->m_list, 1);
    view_->m_list->SetItemSelected(8, true);  // "9"
    view_->OnColumnClickList(0);
    // Text order, greatest first: "9" above "10".
    Strings expected;
    for (int number : {9, 8, 7, 6, 5, 4, 3, 2, 12, 11, 10, 1}) expected.push_back(before[number - 1]);
    EXPECT_EQ(Column(*view_->m_list, 1), expected);
    EXPECT_EQ(Column(*view_->m_list, 0), Numbers(12));
    // The selection goes with its row.
    EXPECT_EQ(view_->m_list->GetNextSelectedItem(), 0);
    EXPECT_EQ(view_->m_list->GetSelectedCount(), 1);
    EXPECT_EQ(CCallCheckView::SortDirection(), -1);
}

TEST_F(CallCheckTest, TheSortDirectionIsSharedByEveryColumn) {
    Open();
    ChooseService("101");
    view_->OnButtonQueryAllList();
    ASSERT_EQ(view_->m_list->GetItemCount(), 7);
    if (CCallCheckView::SortDirection() != 1) view_->OnColumnClickList(0);
    auto sorted = [&](int column, bool descending) {
        Strings texts = Column(*view_->m_list, column);
        Strings copy = texts;
        std::stable_sort(copy.begin(), copy.end());  // std::string compares bytes unsigned
        if (descending) std::reverse(copy.begin(), copy.end());
        return texts == copy;
    };
    view_->OnColumnClickList(3);
    EXPECT_TRUE(sorted(3, true));
    view_->OnColumnClickList(3);
    EXPECT_TRUE(sorted(3, false));
    view_->OnColumnClickList(3);
    EXPECT_TRUE(sorted(3, true));
    view_->OnColumnClickList(5);  // another column, and the direction goes on
    EXPECT_TRUE(sorted(5, false));
    EXPECT_FALSE(sorted(5, true));
    EXPECT_EQ(Column(*view_->m_list, 0), Numbers(7));
}

TEST_F(CallCheckTest, HangulSortsAboveAsciiAsUnsignedBytesDo) {
    Open();
    ChooseService("101");
    view_->OnButtonQueryList();
    ASSERT_EQ(view_->m_list->GetItemCount(), 4);
    if (CCallCheckView::SortDirection() != 1) view_->OnColumnClickList(0);
    const Strings memos{"Zoo", "가나", "apple", ""};
    for (int i = 0; i < 4; ++i) view_->m_list->SetItemText(i, CCallCheckView::COL_COMMENT, memos[i]);
    // A Hangul syllable starts with a byte above 0x7f: greatest first, it leads.
    view_->OnColumnClickList(CCallCheckView::COL_COMMENT);
    EXPECT_EQ(Column(*view_->m_list, CCallCheckView::COL_COMMENT), (Strings{"가나", "apple", "Zoo", ""}));
    view_->OnColumnClickList(CCallCheckView::COL_COMMENT);
    EXPECT_EQ(Column(*view_->m_list, CCallCheckView::COL_COMMENT), (Strings{"", "Zoo", "apple", "가나"}));
}

TEST_F(CallCheckTest, TheStatusLineShowsTheTimeOfDayAndTheText) {
    Open();
    view_->SetStatusText("check");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d,check$"))
                    .match(view_->m_lblStatus->text())
                    .hasMatch())
        << view_->m_lblStatus->text().toStdString();
    CTimeStamp stamp;
    EXPECT_STREQ(stamp.GetTimeText(), "00:00:00:000");
    stamp.SetNow();
    EXPECT_EQ(std::strlen(stamp.GetTimeText()), 12u);
    EXPECT_EQ(stamp.m_szDate[0], '\0');
}

TEST_F(CallCheckTest, OnlyTheCloseButtonSavesTheThreshold) {
    Open();
    view_->m_editAlarmCount->setText(QStringLiteral("7"));
    view_->OnButtonClose();
    EXPECT_EQ(platform::ProfileStore::GetProfileString("Orvanta", "CALLBACK_ALARM_COUNT", ""), "7");
    Open();
    EXPECT_EQ(view_->m_editAlarmCount->text(), QStringLiteral("7"));
    view_->m_editAlarmCount->setText(QStringLiteral("9"));
    Open();  // the view goes without its close button
    EXPECT_EQ(view_->m_editAlarmCount->text(), QStringLiteral("7"));
    platform::ProfileStore::WriteProfileString("Orvanta", "CALLBACK_ALARM_COUNT", "5");
}

// ---------------------------------------------------------------------------------------
// Record actions

TEST_F(CallCheckTest, CompleteAsksFirstWhateverIsSelected) {
    Open();
    ChooseService("101");
    view_->OnButtonQueryList();
    boxes_.Clear();
    log_.Clear();
    view_->OnButtonCheckComplete();  // nothing selected; the question is answered Yes
    ASSERT_EQ(boxes_.Shown().size(), 2u);
    EXPECT_EQ(boxes_.Shown()[0].text, kCompleteQuestion);
    EXPECT_EQ(boxes_.Shown()[0].caption, kConfirm);
    EXPECT_EQ(boxes_.Shown()[0].type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(boxes_.Shown()[0].owner, static_cast<const void*>(view_.get()));
    EXPECT_EQ(boxes_.Shown()[1].text, kNoSelection);
    EXPECT_EQ(boxes_.Shown()[1].caption, kConfirm);
    EXPECT_EQ(boxes_.Shown()[1].type, MB_OK | MB_ICONINFORMATION);
    // No: nothing is sent.
    Select({0, 1});
    boxes_.Clear();
    boxes_.Answer(platform::IDNO);
    view_->OnButtonCheckComplete();
    EXPECT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_TRUE(log_.Lines().empty());
    EXPECT_EQ(Field("IS_PRINT", 1), "0");
}

TEST_F(CallCheckTest, CompleteSendsOneUpdatePerSelectedRowInListOrderAndRefreshesOnce) {
    Open();
    ChooseService("101");
    view_->OnButtonQueryList();
    ASSERT_EQ(Column(*view_->m_list, 1), (Strings{"1", "2", "8", "3"}));
    Select({3, 0, 2});
    log_.Clear();
    view_->OnButtonCheckComplete();
    EXPECT_EQ(log_.Lines(), (Strings{Line(kLogComplete, sql::MarkProcessedSql("1")),
                                     Line(kLogComplete, sql::MarkProcessedSql("8")),
                                     Line(kLogComplete, sql::MarkProcessedSql("3")),
                                     Line(kLogCheck, ListSql(true, sql::ListKind::Unprocessed, "101"))}));
    EXPECT_EQ(Column(*view_->m_list, 1), Strings{"2"});
    EXPECT_EQ(Field("IS_PRINT", 8), "1");
    // Select all, then complete: every listed record.
    view_->OnButtonSelectAll();
    EXPECT_EQ(view_->m_list->GetSelectedCount(), 1);
    view_->OnButtonCheckComplete();
    EXPECT_EQ(Field("IS_PRINT", 2), "1");
    EXPECT_EQ(boxes_.Shown().back().text, kNoCallbackData);  // the refreshed list is empty
}

TEST_F(CallCheckTest, AFailedUpdateStopsTheActionWithoutRefreshing) {
    Open();
    ChooseService("101");
    view_->OnButtonQueryList();
    Engine("create trigger refuse8 before update on RST_INB when old.ACS_ID = 8 "
           "begin select raise(abort, 'refused'); end");
    view_->OnButtonSelectAll();
    log_.Clear();
    boxes_.Clear();
    view_->OnButtonCheckComplete();
    EXPECT_EQ(log_.Lines(), (Strings{Line(kLogComplete, sql::MarkProcessedSql("1")),
                                     Line(kLogComplete, sql::MarkProcessedSql("2")),
                                     Line(kLogComplete, sql::MarkProcessedSql("8"))}));
    ASSERT_EQ(boxes_.Shown().size(), 2u);  // the question, then the database error
    EXPECT_EQ(boxes_.Shown()[1].type, MB_OK | MB_ICONERROR);
    EXPECT_EQ(Field("IS_PRINT", 2), "1");
    EXPECT_EQ(Field("IS_PRINT", 3), "0");
    EXPECT_EQ(view_->m_list->GetItemCount(), 4);  // not refreshed
}

TEST_F(CallCheckTest, MemoIsRefusedWithNoneOrTwoRowsBeforeAnyDialog) {
    Open();
    ChooseService("101");
    view_->OnButtonQueryList();
    log_.Clear();
    bool opened = false;
    WhenModal<CDlgMemo>([&](CDlgMemo* dialog) {
        opened = true;
        dialog->reject();
    }, 5);
    view_->OnButtonUpdateComment();
    Select({0, 2});
    view_->OnButtonUpdateComment();
    ASSERT_EQ(boxes_.Shown().size(), 2u);
    EXPECT_EQ(boxes_.Shown()[0].text, kNoSelection);
    EXPECT_EQ(boxes_.Shown()[1].text, kMemoOneRow);
    EXPECT_EQ(boxes_.Shown()[1].caption, kConfirm);
    EXPECT_EQ(boxes_.Shown()[1].type, MB_OK | MB_ICONINFORMATION);
    QTest::qWait(100);
    EXPECT_FALSE(opened);
    EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(CallCheckTest, ADoubleClickOpensTheMemoOfThatRowAndOkSendsIt) {
    Open();
    ChooseService("101");
    view_->OnButtonQueryCompleteList();
    ASSERT_EQ(Column(*view_->m_list, 1), Strings{"4"});
    Select({0});
    std::string phone, memo;
    bool phoneReadOnly = false;
    WhenModal<CDlgMemo>([&](CDlgMemo* dialog) {
        phone = dialog->m_editPhone->text().toStdString();
        phoneReadOnly = dialog->m_editPhone->isReadOnly();
        memo = dialog->m_editMemo->toPlainText().toStdString();
        dialog->m_btn[0]->click();  // unchanged
    });
    log_.Clear();
    view_->OnDblClkList(0);
    EXPECT_EQ(phone, view_->m_list->GetItemText(0, 4));
    EXPECT_TRUE(phoneReadOnly);
    EXPECT_EQ(memo, "done");
    EXPECT_EQ(log_.Lines(), (Strings{Line(kLogComment, sql::UpdateCommentSql("done", "4")),
                                     Line(kLogCheck, ListSql(true, sql::ListKind::Processed, "101"))}));
    // A memo with an apostrophe goes in whole.
    Select({0});
    WhenModal<CDlgMemo>([&](CDlgMemo* dialog) {
        dialog->m_editMemo->setPlainText(QStringLiteral("call back at 3 o'clock"));
        dialog->m_btn[0]->click();
    });
    log_.Clear();
    view_->OnButtonUpdateComment();
    ASSERT_FALSE(log_.Lines().empty());
    EXPECT_EQ(log_.Lines()[0], Line(kLogComment, sql::UpdateCommentSql("call back at 3 o'clock", "4")));
    EXPECT_NE(log_.Lines()[0].find("o''clock"), std::string::npos);
    EXPECT_EQ(Field("COMMENT", 4), "call back at 3 o'clock");
    EXPECT_EQ(view_->m_list->GetItemText(0, 10), "call back at 3 o'clock");
    // Cancel sends nothing.
    Select({0});
    WhenModal<CDlgMemo>([&](CDlgMemo* dialog) { dialog->m_btn[1]->click(); });
    log_.Clear();
    view_->OnButtonUpdateComment();
    EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(CallCheckTest, TheMemoHoldsTwoHundredBytes) {
    Open();
    const std::string longMemo(201, 'x');
    Engine("update RST_INB set COMMENT = '" + longMemo + "' where ACS_ID = 9");
    ChooseService("102");
    view_->OnButtonQueryList();
    Select({0});
    bool stayedOpen = false;
    std::string typed;
    WhenModal<CDlgMemo>([&](CDlgMemo* dialog) {
        // A memo stored longer than the limit is shown whole and refused on OK.
        dialog->m_btn[0]->click();
        stayedOpen = dialog->isVisible();
        // Typing at the end of a full memo adds nothing; a paste is cut to what fits.
        dialog->m_editMemo->setPlainText(QString(197, QLatin1Char('a')));
        QTest::keyClicks(dialog->m_editMemo, QStringLiteral("bc"));
        QTextCursor end = dialog->m_editMemo->textCursor();
        end.movePosition(QTextCursor::End);
        dialog->m_editMemo->setTextCursor(end);
        dialog->m_editMemo->insertPlainText(QString::fromUtf8("\xea\xb0\x80\xea\xb0\x80"));  // two Hangul syllables
        typed = dialog->m_editMemo->toPlainText().toStdString();
        dialog->m_btn[0]->click();
    });
    view_->OnButtonUpdateComment();
    EXPECT_TRUE(stayedOpen);
    ASSERT_FALSE(boxes_.Shown().empty());
    const MessageBoxRequest& refusal = boxes_.Shown()[0];
    std::string text = kDdxMaxChars;
    text.replace(text.find("%1"), 2, "200");
    EXPECT_EQ(refusal.text, text);
    EXPECT_EQ(refusal.caption, kAppTitle);
    EXPECT_EQ(refusal.type, MB_OK | MB_ICONEXCLAMATION);
    // "b", "c" and 197 bytes make 199; the first syllable would make 201: nothing of it fits.
    EXPECT_EQ(typed, "bc" + std::string(197, 'a'));
    EXPECT_EQ(Field("COMMENT", 9), "bc" + std::string(197, 'a'));
}

TEST_F(CallCheckTest, AMemoOfExactlyTwoHundredBytesFitsWhetherStoredOrPasted) {
    Open();
    std::string full;
    for (int i = 0; i < 100; ++i) full += "가";  // 100 syllables, two bytes each
    Engine("update RST_INB set COMMENT = '" + full + "' where ACS_ID = 9");
    ChooseService("102");
    view_->OnButtonQueryList();
    Select({0});
    std::string shown, pasted;
    WhenModal<CDlgMemo>([&](CDlgMemo* dialog) {
        shown = dialog->m_editMemo->toPlainText().toStdString();
        // A paste that lands exactly on the limit keeps its first syllable, not the second.
        dialog->m_editMemo->setPlainText(QString(198, QLatin1Char('a')));
        dialog->m_editMemo->moveCursor(QTextCursor::End);
        dialog->m_editMemo->insertPlainText(QString::fromUtf8("가나"));
        pasted = dialog->m_editMemo->toPlainText().toStdString();
        dialog->m_editMemo->setPlainText(QString::fromStdString(full));
        dialog->m_btn[0]->click();  // exactly 200 bytes: accepted
        if (dialog->isVisible()) dialog->reject();
    });
    log_.Clear();
    view_->OnButtonUpdateComment();
    EXPECT_EQ(shown, full);
    EXPECT_EQ(pasted, std::string(198, 'a') + "가");
    EXPECT_TRUE(boxes_.Shown().empty());
    ASSERT_FALSE(log_.Lines().empty());
    EXPECT_EQ(log_.Lines()[0], Line(kLogComment, sql::UpdateCommentSql(full, "9")));
}

TEST_F(CallCheckTest, DistributionAsksWithTheCountAndTheAgentThenSendsOneUpdatePerRow) {
    Engine("insert into USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) values ('demo', 'A''gent', 'q', 1)");
    Open();
    ChooseService("101");
    view_->OnButtonQueryAllList();
    Select({0, 2, 4, 5, 6});
    std::string count;
    Strings agents;
    WhenModal<CDlgManualDist>([&](CDlgManualDist* dialog) {
        count = dialog->m_editCount->text().toStdString();
        dialog->m_comboAgent->showPopup();  // filled as it drops down
        dialog->m_comboAgent->hidePopup();
        for (int i = 0; i < dialog->m_comboAgent->GetCount(); ++i) agents.push_back(dialog->m_comboAgent->GetLBText(i));
        dialog->m_comboAgent->SetCurSel(0);
        dialog->m_btn[0]->click();
    });
    log_.Clear();
    view_->OnButtonCallbackDist();
    EXPECT_EQ(count, "5");
    // The user's agents in name order.
    const auto names = QueryRows(session_->Env(), sql::AgentNamesSql("demo"));
    ASSERT_EQ(agents.size(), 3u);
    ASSERT_EQ(names.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(agents[i], FieldAt(names[i], 0));
    EXPECT_EQ(agents[0], "A'gent");
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, platform::StrFormat(kDistQuestion, 5, "A'gent"));
    EXPECT_EQ(boxes_.Shown()[0].caption, kConfirm);
    EXPECT_EQ(boxes_.Shown()[0].type, MB_YESNO | MB_ICONQUESTION);
    Strings expected;
    for (const char* id : {"1", "8", "4", "5", "6"}) {
        expected.push_back(Line(kLogDist, sql::UpdateAgentSql("A'gent", id)));
    }
    expected.push_back(Line(kLogCheck, ListSql(true, sql::ListKind::All, "101")));
    EXPECT_EQ(log_.Lines(), expected);
    EXPECT_NE(log_.Lines()[0].find("'A''gent'"), std::string::npos);
    EXPECT_EQ(Field("AGENT_NM", 6), "A'gent");
    EXPECT_EQ(Field("IS_PRINT", 1), "0");  // still unprocessed
}

TEST_F(CallCheckTest, DistributingWithoutChoosingAnAgentIsRefusedInTheDialog) {
    Open();
    ChooseService("101");
    view_->OnButtonQueryList();
    Select({1});
    bool stayedOpen = false;
    int comboItems = -1;
    WhenModal<CDlgManualDist>([&](CDlgManualDist* dialog) {
        comboItems = dialog->m_comboAgent->GetCount();
        dialog->m_btn[0]->click();  // "분배" without opening the list
        stayedOpen = dialog->isVisible();
        dialog->m_btn[1]->click();
    });
    log_.Clear();
    view_->OnButtonCallbackDist();
    EXPECT_EQ(comboItems, 0);
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, kSelectAgent);
    EXPECT_EQ(boxes_.Shown()[0].caption, kError);
    EXPECT_EQ(boxes_.Shown()[0].type, MB_OK | MB_ICONERROR);
    EXPECT_TRUE(log_.Lines().empty());
    // Nothing selected: the message, no dialog.
    view_->OnButtonSelectNone();
    boxes_.Clear();
    view_->OnButtonCallbackDist();
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, kNoSelection);
}

TEST_F(CallCheckTest, AnActionSendsOnlyForRowsStillSelectedAfterItsQuestion) {
    Open();
    ChooseService("101");
    view_->OnButtonQueryList();
    EXPECT_FALSE(view_->IsActionPending());
    // Something reloads the list while the question is open (as a check that ignored the
    // pending action would): the selection is gone, so nothing is sent.
    HookedMessages boxes;
    std::vector<bool> pending;
    boxes.onShow = [&](const MessageBoxRequest& request) {
        pending.push_back(view_->IsActionPending());
        if (request.type & MB_YESNO) view_->OnButtonQueryList();
        return platform::IDYES;
    };
    Select({0, 1});
    log_.Clear();
    view_->OnButtonCheckComplete();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, kNoSelection);
    EXPECT_EQ(pending, (std::vector<bool>{true, true}));
    EXPECT_EQ(log_.Lines(), Strings{Line(kLogCheck, ListSql(true, sql::ListKind::Unprocessed, "101"))});
    EXPECT_EQ(Field("IS_PRINT", 1), "0");
    EXPECT_FALSE(view_->IsActionPending());

    // The same for a distribution: its dialog and question both count as waiting.
    bool pendingInDialog = false;
    WhenModal<CDlgManualDist>([&](CDlgManualDist* dialog) {
        pendingInDialog = view_->IsActionPending();
        dialog->OnDropDownAgent();
        dialog->m_comboAgent->SetCurSel(0);
        dialog->m_btn[0]->click();
    });
    Select({0, 1});
    log_.Clear();
    view_->OnButtonCallbackDist();
    EXPECT_TRUE(pendingInDialog);
    EXPECT_EQ(log_.Lines(), Strings{Line(kLogCheck, ListSql(true, sql::ListKind::Unprocessed, "101"))});
    EXPECT_EQ(Field("AGENT_NM", 1), "");
}

TEST_F(CallCheckTest, AMemoOpenAcrossThreeChecksKeepsItsRowsAndTheTicketsWaitForIt) {
    Open();
    ChooseService("101");
    TempDir tickets;
    session_->Env().m_strMiniPrintDriver = "pdf:" + tickets.Path();
    auto ticketCount = [&] {
        return std::distance(std::filesystem::directory_iterator(tickets.Path()), std::filesystem::directory_iterator());
    };
    platform::RecordingSound sound;
    view_->m_editAlarmCount->setText(QStringLiteral("5"));
    view_->m_chkAutoQuery->setChecked(true);
    CAutoCheck& check = view_->m_pAutoCheck->Check();
    check.OnButtonAutoStart();
    check.OnTimer();  // the first check: the unprocessed list, nothing printed
    ASSERT_EQ(Column(*view_->m_list, 1), (Strings{"1", "2", "8", "3"}));
    Select({1});

    Strings counts, rowsSeen;
    std::vector<int> selected;
    WhenModal<CDlgMemo>([&](CDlgMemo* dialog) {
        for (int period = 0; period < 3; ++period) {
            if (period == 1) {
                ASSERT_TRUE(session_->Env().ExecuteSQL(
                    "insert into RST_INB (ACS_ID, SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, DIAL_DATE, DIAL_TIME, "
                    "IS_PRINT, IS_CALLBACK, IS_DELETE, RES_REPLY) values (30, 101, 'demo', '021', '010', '" +
                    std::string(kDay2) + "', '235959', '0', '1', '0', '0')"));
            }
            if (period == 2) view_->m_chkAutoPrint->setChecked(true);
            check.m_tLastCheck = 0;  // the period is over
            check.OnTimer();
            counts.push_back(view_->m_lblNewCount->text().toStdString());
            const Strings ids = Column(*view_->m_list, 1);
            rowsSeen.insert(rowsSeen.end(), ids.begin(), ids.end());
            selected.push_back(view_->m_list->GetNextSelectedItem(-1));
        }
        dialog->m_editMemo->setPlainText(QString::fromUtf8("\xeb\xa9\x94\xeb\xaa\xa8"));  // "메모"
        EXPECT_EQ(ticketCount(), 0);
        dialog->m_btn[0]->click();
    });
    log_.Clear();
    view_->OnButtonUpdateComment();
    EXPECT_EQ(counts, (Strings{"4", "5", "5"}));
    int countLines = 0;
    for (const std::string& line : log_.Lines()) countLines += line.find("count(*)") != std::string::npos;
    EXPECT_EQ(countLines, 3);
    EXPECT_EQ(std::count(sound.Calls().begin(), sound.Calls().end(), "stop"), 1);  // at 5, before auto print
    // The rows under the dialog were never replaced, so the memo reached the chosen record.
    EXPECT_EQ(rowsSeen, (Strings{"1", "2", "8", "3", "1", "2", "8", "3", "1", "2", "8", "3"}));
    EXPECT_EQ(selected, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(Field("COMMENT", 2), "\xeb\xa9\x94\xeb\xaa\xa8");
    // Once the dialog is gone the next tick reloads and prints what was waiting.
    // (Qt Test's QTRY macros would only return from the test on a timeout: wait and assert.)
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticketCount() == 5; }, 5000)) << ticketCount();
    EXPECT_TRUE(QTest::qWaitFor([&] { return view_->m_list->GetItemCount() == 0; }, 5000));
    for (int acsId : {1, 2, 3, 8, 30}) EXPECT_EQ(Field("IS_PRINT", acsId), "1") << acsId;
    check.OnButtonAutoStop();
}

// ---------------------------------------------------------------------------------------
// Rate report

TEST_F(CallCheckTest, TheRateTableReplacesTheRecordColumnsAndBack) {
    Open();
    ChooseService("102");
    view_->OnButtonQueryCompleteList();
    ASSERT_EQ(view_->m_list->GetColumnCount(), 12);
    log_.Clear();
    view_->OnButtonCallbackPercent();
    const std::string sql = sql::CallbackRateSql("demo", kDay1, kDay3);
    EXPECT_EQ(log_.Lines(), Strings{Line(kLogRate, sql)});
    EXPECT_EQ(Headings(*view_->m_list), kRateHeadings);
    const auto expected = QueryRows(session_->Env(), sql);
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(view_->m_list->GetItemCount(), static_cast<int>(expected.size()));
    for (size_t row = 0; row < expected.size(); ++row) {
        EXPECT_EQ(view_->m_list->GetItemText(static_cast<int>(row), 0), std::to_string(row + 1));
        for (int field = 0; field < 5; ++field) {
            EXPECT_EQ(view_->m_list->GetItemText(static_cast<int>(row), field + 1), FieldAt(expected[row], field));
        }
    }
    // Record actions do not run on rate rows.
    EXPECT_TRUE(view_->IsRateTableShown());
    for (int button : {CCallCheckView::BTN_UPDATE_COMMENT, CCallCheckView::BTN_CHECK_COMPLETE,
                       CCallCheckView::BTN_MANUAL_DIST}) {
        EXPECT_FALSE(view_->m_btn[button]->isEnabled());
    }
    Select({0});
    boxes_.Clear();
    log_.Clear();
    view_->OnDblClkList(0);
    view_->OnButtonCheckComplete();
    EXPECT_TRUE(boxes_.Shown().empty());
    EXPECT_TRUE(log_.Lines().empty());
    // Sorting works on the rate table too.
    view_->OnColumnClickList(3);
    EXPECT_EQ(Column(*view_->m_list, 0), Numbers(static_cast<int>(expected.size())));
    // The report leaves the list kind alone; a list button brings the layout back.
    EXPECT_EQ(view_->m_strListKind, CCallCheckView::kListKindProcessed);
    view_->RefreshList();
    EXPECT_EQ(Headings(*view_->m_list), kGeneralHeadings);
    EXPECT_FALSE(view_->IsRateTableShown());
    EXPECT_TRUE(view_->m_btn[CCallCheckView::BTN_CHECK_COMPLETE]->isEnabled());
    // The same table whichever service is selected.
    ChooseService("101");
    view_->OnButtonCallbackPercent();
    EXPECT_EQ(view_->m_list->GetItemCount(), static_cast<int>(expected.size()));
}

TEST_F(CallCheckTest, ARatePeriodWithoutCallsSaysSo) {
    Open();
    view_->m_dateFrom->setDate(Day("20270101"));
    view_->m_dateTo->setDate(Day("20270102"));
    view_->OnButtonCallbackPercent();
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, kNoRateData);
    EXPECT_EQ(boxes_.Shown()[0].caption, kConfirm);
    EXPECT_EQ(boxes_.Shown()[0].type, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(Headings(*view_->m_list), kRateHeadings);
}

}  // namespace
