// What the automatic check needs from the callback-request view: the service and period,
// the threshold edit, the two check boxes, the count and countdown labels, the status line,
// the buttons it switches, the list, and the view's timer. The view implements it by
// forwarding to its controls; tests implement it with plain members.
#pragma once

#include <string>

class IAutoCheckHost {
public:
    virtual ~IAutoCheckHost() = default;

    // Service ID of the combo's selection (GetComboSelServiceId); empty when none is selected.
    virtual std::string GetSelectedServiceId() const = 0;
    // SVC_TYPE of the selected service as the view holds it; 1 means the loan layout.
    virtual int GetServiceType() const = 0;
    // The two date pickers as "%Y%m%d".
    virtual std::string GetFirstDay() const = 0;
    virtual std::string GetLastDay() const = 0;
    // The threshold edit, as typed.
    virtual std::string GetAlarmCountText() const = 0;

    virtual bool IsAutoQueryChecked() const = 0;  // "reload the unprocessed list"
    virtual void SetAutoQueryChecked(bool checked) = 0;
    virtual bool IsAutoPrintChecked() const = 0;  // "print a ticket per record"
    virtual void SetAutoPrintChecked(bool checked) = 0;

    virtual void SetNewCountText(const std::string& text) = 0;   // the count label
    virtual void SetCountdownText(const std::string& text) = 0;  // seconds to the next check
    // The view's status line: it puts the time of day in front of the text.
    virtual void SetStatusText(const std::string& text) = 0;

    virtual void EnableAutoStart(bool enable) = 0;
    virtual void EnableAutoStop(bool enable) = 0;
    virtual void EnableServiceCombo(bool enable) = 0;
    virtual void FocusServiceCombo() = 0;
    // Owner of the message boxes the check shows (the view).
    virtual const void* MessageOwner() const = 0;

    // The unprocessed list of the selected service and period replaces the list's rows.
    virtual void QueryUnprocessedList() = 0;
    virtual int GetListItemCount() const = 0;
    virtual std::string GetListItemText(int item, int column) const = 0;
    virtual void DeleteAllListItems() = 0;

    // True while a record action waits for the user (its message box or dialog is open) and
    // works on the rows of the list: the check's reload and printing wait until it ends.
    virtual bool IsActionPending() const = 0;

    // The view's check timer. SetTimer replaces a running one, as a window timer with the
    // same ID does; every tick reaches CAutoCheck::OnTimer. Period 0 means "as soon as
    // possible": a window timer never ticks faster than every 10 ms, and neither should this
    // one (a Qt timer of 0 ms would keep the processor busy while it counts down).
    virtual void SetTimer(int periodMs) = 0;
    virtual void KillTimer() = 0;

    // After every check, for signs outside the view: whether the count query answered, the
    // count, and whether a ticket of the check could not be printed.
    virtual void OnCheckFinished(bool /*counted*/, int /*count*/, bool /*ticketFailed*/) {}
};
