// The application object: start-up in the established order (profile, start directory,
// dialog colours, the three document templates, the main frame maximized) and the About
// command.
#pragma once

#include <QApplication>
#include <QColor>
#include <memory>
#include <vector>

#include "data/KestrimEnv.h"

class CDocTemplate;
class CMainFrame;

class COrvantaApp : public QApplication {
    Q_OBJECT
public:
    COrvantaApp(int& argc, char** argv);
    ~COrvantaApp() override;

    // The application object, or null when the running application is another one.
    static COrvantaApp* Instance();

    // The start-up sequence; false ends the program with ExitCode().
    bool InitInstance();
    // The message loop, after a successful InitInstance; returns the exit code.
    int Run();
    bool IsRunning() const { return m_bRunning; }
    int ExitCode() const { return m_nExitCode; }
    void SetExitCode(int nExitCode) { m_nExitCode = nExitCode; }

    // Templates in registration order: default view, callback-request view, opt-out view.
    void RegisterDocTemplates();
    CDocTemplate* GetDocTemplate(int index) const;
    CMainFrame* GetMainFrame() const { return m_pMainWnd.get(); }

    // Where the per-user profile values live.
    static void SetupProfile();
    // Background and text colour of every dialog.
    static void SetDialogBkColor(const QColor& background, const QColor& text);
    static QColor DialogBkColor();

    static void OnAppAbout();

    // The current directory at start (at most 255 characters).
    char m_szStartDir[256] = {};

private:
    CKestrimEnv m_env;
    std::vector<std::unique_ptr<CDocTemplate>> m_templates;
    std::unique_ptr<CMainFrame> m_pMainWnd;
    int m_nExitCode = 1;
    bool m_bRunning = false;
};
