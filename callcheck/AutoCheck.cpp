#include "callcheck/AutoCheck.h"

#include <climits>
#include <cstdlib>
#include <string>
#include <utility>

#include "app/WriteLog.h"
#include "callcheck/AutoCheckHost.h"
#include "data/KestrimEnv.h"
#include "data/Queries.h"
#include "output/Ticket.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/Cursor.h"
#include "platform/qt/Sound.h"
#include "res/Strings.h"

namespace {

// List columns, the same in both layouts.
constexpr int kColAcsId = 1;
constexpr int kColRecvPhone = 3;
constexpr int kColCallerId = 4;

struct LayoutColumns {
    int dialDate;
    int dialTime;
    int commTime;
    int loanType;  // -1 where the layout has none
    int amount;
};
constexpr LayoutColumns kLoanColumns{7, 8, 11, 5, 6};
constexpr LayoutColumns kGeneralColumns{5, 6, 7, -1, -1};

// Decimal value of the leading digits after optional blanks and sign; 0 when there are none.
// A number too large for an int counts as the largest int of its sign rather than wrapping.
int LeadingInt(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

CAutoCheck::CAutoCheck(IAutoCheckHost& host, Clock clock) : m_host(host), m_clock(std::move(clock)) {}

time_t CAutoCheck::Now() const { return m_clock ? m_clock() : std::time(nullptr); }

void CAutoCheck::ArmTimer(int periodMs) { m_host.SetTimer(periodMs); }

void CAutoCheck::OnButtonAutoStart() {
    if (m_host.GetSelectedServiceId().empty()) {
        platform::ShowMessageBox(m_host.MessageOwner(), kMsgSelectService, res::kTitleError, platform::MB_ICONERROR);
        m_host.FocusServiceCombo();
        return;
    }
    m_bRunning = true;
    // Period 0: the first tick comes at once; the first check re-arms at the real period.
    ArmTimer(kFirstTickPeriodMs);
    m_host.EnableAutoStart(false);
    m_host.EnableAutoStop(true);
    // The service cannot change under a running check; the period can.
    m_host.EnableServiceCombo(false);
}

void CAutoCheck::OnButtonAutoStop() {
    m_bRunning = false;
    m_bReloadHeld = false;
    m_host.KillTimer();
    m_host.EnableAutoStart(true);
    m_host.EnableAutoStop(false);
    m_host.EnableServiceCombo(true);
}

void CAutoCheck::OnTimer() {
    if (!m_bRunning) return;  // a tick that was already on its way when the check stopped
    const time_t now = Now();
    // A reload held back for a record action is not left waiting for the next period: the
    // first tick after the action runs the check again in full.
    const bool catchUp = m_bReloadHeld && !m_host.IsActionPending();
    if (catchUp || now - m_tLastCheck > m_nCheckInterval) {
        // No tick is handled while the check runs, even when one of its message boxes
        // runs its own event loop.
        m_host.KillTimer();
        m_host.SetStatusText(kStatusCheckStart);
        m_bReloadHeld = false;
        CheckCallbackData();
        // A failed ticket keeps its message on the status line; it must not be replaced
        // by the end of the check a moment later.
        if (!m_bPrintFailed) m_host.SetStatusText(kStatusCheckEnd);
        m_tLastCheck = static_cast<int32_t>(Now());
        // Stopped from inside the check (a box of the check was open): stay stopped.
        if (m_bRunning) ArmTimer(kTickPeriodMs);
    } else {
        m_host.SetCountdownText(platform::StrFormat("%d", static_cast<int>(m_tLastCheck + m_nCheckInterval - now)));
    }
}

void CAutoCheck::CheckCallbackData() {
    platform::ShowAppStartingCursor();
    m_bPrintFailed = false;
    const std::string firstDay = m_host.GetFirstDay();
    const std::string lastDay = m_host.GetLastDay();
    // The threshold follows the edit box at every check.
    m_nAlarmCount = LeadingInt(m_host.GetAlarmCountText());
    const std::string serviceId = m_host.GetSelectedServiceId();

    const std::string statement = sql::NewCountSql(serviceId, firstDay, lastDay, g_pEnv->m_strAgentName);
    WriteLog(kLogCheck, statement.c_str());

    std::string countText;  // stays empty after a database error
    const int found = g_pEnv->GetFirstRecord(countText, statement);
    if (found == 0) {
        m_host.SetStatusText(kStatusNoNewData);
    } else {
        m_host.SetNewCountText(countText);
    }

    platform::ShowArrowCursor();
    const bool autoQuery = m_host.IsAutoQueryChecked();
    const bool autoPrint = m_host.IsAutoPrintChecked();
    const int count = LeadingInt(countText);

    if (count > 0 && autoQuery) {
        if (m_host.IsActionPending()) {
            // A record action waits for the user and works on the listed rows: a reload or
            // a print run now would replace or empty them under it. Only these wait; the
            // count above and the sound below go on.
            m_bReloadHeld = true;
        } else {
            m_host.QueryUnprocessedList();
            if (autoPrint) AutoPrint();
        }
    }
    // With tickets coming out nobody needs the sound.
    if (!autoPrint && count >= m_nAlarmCount) {
        platform::StopSound();
        platform::PlaySoundFile(kSoundFile);
    }
    m_host.OnCheckFinished(found == 1, count, m_bPrintFailed);
}

bool CAutoCheck::AutoPrint() {
    const bool loanLayout = m_host.GetServiceType() == 1;
    const LayoutColumns& columns = loanLayout ? kLoanColumns : kGeneralColumns;

    for (int item = 0; item < m_host.GetListItemCount(); ++item) {
        const std::string acsId = m_host.GetListItemText(item, kColAcsId);
        TicketFields fields;
        fields.recvPhone = m_host.GetListItemText(item, kColRecvPhone);
        fields.callerId = m_host.GetListItemText(item, kColCallerId);
        fields.dialDate = m_host.GetListItemText(item, columns.dialDate);
        fields.dialTime = m_host.GetListItemText(item, columns.dialTime);
        fields.commTime = m_host.GetListItemText(item, columns.commTime);
        if (loanLayout) {
            fields.loanType = m_host.GetListItemText(item, columns.loanType);
            fields.amount = m_host.GetListItemText(item, columns.amount);
        }

        // A request whose ticket never reached the printer stays unprocessed, so that the
        // next check finds it again instead of it vanishing from the desk unseen.
        std::string failure;
        if (!PrintTicket(g_pEnv->m_strMiniPrintDriver, fields, loanLayout, &failure)) {
            WriteLog(kLogTicketFailed, acsId.c_str(), g_pEnv->m_strMiniPrintDriver.c_str(), failure.c_str());
            m_bPrintFailed = true;
            m_host.SetStatusText(kStatusPrintFailed);
            return false;
        }

        const std::string statement = sql::MarkProcessedSql(acsId);
        WriteLog(kLogAutoPrint, statement.c_str());
        if (!g_pEnv->ExecuteSQL(statement)) return false;
    }
    // Every request is processed now; the list stays empty until the next reload.
    m_host.DeleteAllListItems();
    return true;
}

void CAutoCheck::OnCheckAutoPrint() {
    if (!m_host.IsAutoPrintChecked()) return;
    if (g_pEnv->m_strMiniPrintDriver.empty()) {
        g_pEnv->MsgInfoWnd(m_host.MessageOwner(), "%s", kMsgNoMiniPrinter);
        m_host.SetAutoPrintChecked(false);
        return;
    }
    // Printing works on the reloaded list.
    m_host.SetAutoQueryChecked(true);
}
