// The program's main window: menu 128, tool bar, status bar and the area holding the child
// windows. Its creation reads the settings and opens the connection; the login follows once
// the window is on screen, and then the menu is enabled for whoever logged in.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <map>
#include <string>

#include "app/DeskAlerts.h"

class CChildFrame;
class CDocTemplate;
class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

class CMainFrame : public QMainWindow, public IDeskWindow {
    Q_OBJECT
public:
    enum { ID_TIMER_STARTUP = 0, ID_TIMER_LOGIN = 1 };

    CMainFrame();
    ~CMainFrame() override;

    // The main frame while it exists (null before and after).
    static CMainFrame* GetMainFrame();

    // Creates the frame (OnCreate); false when it failed and the program is to end.
    bool LoadFrame();

    // The menu or tool-bar command with identifier nID (null when none).
    QAction* GetCommand(int nID) const;
    QMdiArea* MdiClient() const { return m_pMdiArea; }
    QToolBar* ToolBar() const { return m_pToolBar; }
    CChildFrame* GetActiveChild() const;

    // Enables each command from the flags below and the child windows present.
    void UpdateCommandUI();
    // The frame's title followed by the active child's document title.
    void UpdateCaption();

    // Signs of the automatic check outside the view.
    CDeskAlerts& Alerts() { return m_alerts; }
    bool IsWatched() const override;
    void Alert() override;
    void ShowStatusAlert(const std::string& text) override;
    // Shows text on the main frame's status bar, if there is a main frame, until the next
    // prompt passes over it.
    static void ShowStatusNote(const std::string& text);

    CDocTemplate* m_pCallbackTemplate = nullptr;
    bool m_bCallbackViewOpen = false;  // open or not permitted: command 32771 disabled
    CDocTemplate* m_pDenyTemplate = nullptr;
    bool m_bDenyViewOpen = false;      // open or not permitted: command 32774 disabled
    bool m_bAgentMgmtDisabled = false;
    bool m_bDistStatusDisabled = false;

    // Command handlers.
    void OnMenuCallbackQuery();  // 32771
    void OnMenuDenyQuery();      // 32774
    void OnMenuUserAgent();      // 32777
    void OnMenuCallbackDist();   // 32778
    void OnFileOpen();
    void OnFileSave();
    void OnFilePrint();
    void OnWindowArrange();

protected:
    int OnCreate();
    void OnTimer(int nIDEvent);
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;  // asks before closing
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Shows the login dialog modally; true when it ended with OK.
    virtual bool RunLogin();
    // Ends the program with nExitCode.
    virtual void ExitProcess(int nExitCode);
    // In the per-user folder without an address, asks for one with the server address
    // dialog; what it saves is read by the settings load that follows.
    void AskMissingServerAddress();

private:
    static int32_t DefaultRowCallback(int32_t unused, int32_t requestId, int32_t columns, const char* row);

    void SetTimer(int nIDEvent, int nElapse);
    void KillTimer(int nIDEvent);
    void SetFrameTitle();
    void UpdateIndicators();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void FillWindowMenu();
    QAction* AddCommand(int nID, const char* text, const char* prompt, const char* tip);

    QMdiArea* m_pMdiArea;
    QToolBar* m_pToolBar = nullptr;
    QMenu* m_pWindowMenu = nullptr;
    QLabel* m_pIndicators[3] = {};
    std::map<int, QAction*> m_commands;
    std::map<int, int> m_timers;  // timer identifier -> running timer
    QString m_strTitle;
    QString m_strStatusAlert;  // shown instead of the idle prompt while set
    CDeskAlerts m_alerts{*this};
};
