// Connects the callback-request view to its automatic check: the view's controls answer
// the check's questions, and a timer of the view's own drives the cycle.
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

#include "callcheck/AutoCheck.h"
#include "callcheck/AutoCheckHost.h"

class CCallCheckView;

class CAutoCheckBinding : public QObject, public IAutoCheckHost {
    Q_OBJECT
public:
    explicit CAutoCheckBinding(CCallCheckView& view);
    ~CAutoCheckBinding() override;

    CAutoCheck& Check() { return m_check; }

    std::string GetSelectedServiceId() const override;
    int GetServiceType() const override;
    std::string GetFirstDay() const override;
    std::string GetLastDay() const override;
    std::string GetAlarmCountText() const override;
    bool IsAutoQueryChecked() const override;
    void SetAutoQueryChecked(bool checked) override;
    bool IsAutoPrintChecked() const override;
    void SetAutoPrintChecked(bool checked) override;
    void SetNewCountText(const std::string& text) override;
    void SetCountdownText(const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    void EnableAutoStart(bool enable) override;
    void EnableAutoStop(bool enable) override;
    void EnableServiceCombo(bool enable) override;
    void FocusServiceCombo() override;
    const void* MessageOwner() const override;
    void QueryUnprocessedList() override;
    int GetListItemCount() const override;
    std::string GetListItemText(int item, int column) const override;
    void DeleteAllListItems() override;
    bool IsActionPending() const override;
    void SetTimer(int periodMs) override;
    void KillTimer() override;
    void OnCheckFinished(bool counted, int count, bool ticketFailed) override;

private:
    CCallCheckView& m_view;
    QTimer m_timer;
    CAutoCheck m_check;
};
