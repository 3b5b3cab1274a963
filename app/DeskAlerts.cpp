#include "app/DeskAlerts.h"

#include "callcheck/AutoCheck.h"
#include "platform/Format.h"
#include "platform/qt/Notification.h"

CDeskAlerts::CDeskAlerts(IDeskWindow& window) : m_window(window) {}

std::string CDeskAlerts::ServiceLabel(const std::string& service) {
    const size_t dot = service.find('.');
    if (dot == std::string::npos) return service;
    return service.substr(dot + 1) + " (" + service.substr(0, dot) + ")";
}

void CDeskAlerts::OnCheckFinished(const std::string& service, bool counted, int count, bool ticketFailed) {
    const bool watched = m_window.IsWatched();
    if (counted) {
        if (count > m_nAnnouncedCount && !watched) {
            platform::ShowNotification(kTagNewRequests, platform::StrFormat(kNewRequestsSummary, count),
                                       ServiceLabel(service));
            m_window.Alert();
        }
        // Seen on the desk or announced: only a rise above it is news. A fall (requests
        // processed elsewhere) lowers the mark, so the next rise is announced again.
        m_nAnnouncedCount = count > 0 ? count : 0;
    }

    if (ticketFailed) {
        const std::string text = std::string(CAutoCheck::kStatusPrintFailed) + ": " + ServiceLabel(service);
        m_window.ShowStatusAlert(text);
        // The failed request is tried again at every check; one notice per run of failures.
        if (!m_bFailureShown) {
            platform::ShowNotification(kTagTicketFailed, text, kTicketFailedBody);
            if (!watched) m_window.Alert();
            m_bFailureShown = true;
        }
    } else if (m_bFailureShown) {
        m_window.ShowStatusAlert(std::string());
        m_bFailureShown = false;
    }
}
