#include "app/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolBar>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/ChildFrame.h"
#include "app/DlgLogin.h"
#include "app/DlgServerAddr.h"
#include "app/DocTemplate.h"
#include "app/FormView.h"
#include "app/KeyboardLocks.h"
#include "app/OrvantaApp.h"
#include "app/OrvantaDoc.h"
#include "app/OrvantaView.h"
#include "app/Permissions.h"
#include "app/StartFolder.h"
#include "agents/DlgQueryCallbackDist.h"
#include "agents/DlgUserAgent.h"
#include "data/KestrimEnv.h"
#include "data/RecordTokenizer.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "rdb/client/ServerAddress.h"
#include "res/Resource.h"
#include "res/Strings.h"

namespace {

CMainFrame* g_pMainFrame = nullptr;

QString Q(const char* text) { return QString::fromUtf8(text); }

// A menu text without its mnemonic suffix: "도구 모음(&T)" -> "도구 모음".
QString WithoutMnemonic(const char* text) {
    QString result = Q(text);
    result.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    result.remove(QLatin1Char('&'));
    return result.trimmed();
}

}  // namespace

CMainFrame::CMainFrame() : m_pMdiArea(new QMdiArea(this)) {
    g_pMainFrame = this;
    setCentralWidget(m_pMdiArea);
    m_pMdiArea->setBackground(palette().brush(QPalette::Dark));
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, [this] {
        UpdateCaption();
        UpdateCommandUI();
    });
}

CMainFrame::~CMainFrame() {
    // Views destroyed with the frame must not reach back into it.
    if (g_pMainFrame == this) g_pMainFrame = nullptr;
    if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeEventFilter(this);
    // The child windows go first, while the frame is still whole, and without telling it.
    m_pMdiArea->disconnect(this);
    for (QMdiSubWindow* window : m_pMdiArea->subWindowList()) window->disconnect(this);
    delete m_pMdiArea;
    m_pMdiArea = nullptr;
}

CMainFrame* CMainFrame::GetMainFrame() { return g_pMainFrame; }

bool CMainFrame::LoadFrame() { return OnCreate() == 0; }

int CMainFrame::OnCreate() {
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();

    AskMissingServerAddress();
    if (!g_pEnv->LoadEnvironment()) {
        platform::ShowMessageBox(platform::MessageOwner(this), res::kMsgEnvUnreadable, res::kTitleError,
                                 platform::MB_OK | platform::MB_ICONERROR);
        ExitProcess(1);
        return -1;
    }
    SetFrameTitle();
    // The result is not looked at: a connection that failed shows up at the first query.
    g_pEnv->RDBServerOpen();
    RDBSetEventCallBackFN(&CMainFrame::DefaultRowCallback);

    if (COrvantaApp* app = COrvantaApp::Instance()) {
        m_pCallbackTemplate = app->GetDocTemplate(1);
        m_pDenyTemplate = app->GetDocTemplate(2);
    }
    UpdateCommandUI();
    SetTimer(ID_TIMER_STARTUP, 0);
    return 0;
}

void CMainFrame::AskMissingServerAddress() {
    // Only the folder the program made for itself: a site's own folder or the demo keeps
    // its settings as its administrator wrote them.
    std::error_code error;
    const std::string perUser = CStartFolder::PerUserFolder();
    if (perUser.empty() || !std::filesystem::equivalent(std::filesystem::current_path(error), perUser, error)) return;
    if (CKestrimEnv::HasServerAddress()) return;
    // The frame is not on screen yet: the dialog stands on its own.
    CDlgServerAddr dialog(nullptr);
    dialog.DoModal();
}

int32_t CMainFrame::DefaultRowCallback(int32_t, int32_t, int32_t, const char* row) {
    CRecordTokenizer tokens(row);
    for (int i = 0; i < tokens.GetCount(); ++i) std::printf(res::kLogDefaultRowField, tokens.GetItem(i));
    return 1;
}

void CMainFrame::SetTimer(int nIDEvent, int nElapse) {
    KillTimer(nIDEvent);
    m_timers[nIDEvent] = startTimer(nElapse);
}

void CMainFrame::KillTimer(int nIDEvent) {
    auto it = m_timers.find(nIDEvent);
    if (it == m_timers.end()) return;
    killTimer(it->second);
    m_timers.erase(it);
}

void CMainFrame::timerEvent(QTimerEvent* event) {
    for (const auto& [id, running] : m_timers) {
        if (running == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QMainWindow::timerEvent(event);
}

void CMainFrame::OnTimer(int nIDEvent) {
    if (nIDEvent == ID_TIMER_STARTUP) {
        // One more turn of the message loop, so the login comes after the window is shown.
        KillTimer(ID_TIMER_STARTUP);
        SetTimer(ID_TIMER_LOGIN, 0);
        return;
    }
    KillTimer(ID_TIMER_LOGIN);
    if (!RunLogin()) {
        ExitProcess(1);
        return;
    }
    MenuPermissions flags{m_bCallbackViewOpen, m_bDenyViewOpen, m_bAgentMgmtDisabled, m_bDistStatusDisabled};
    SetLoginPermissions(*g_pEnv, flags);
    m_bCallbackViewOpen = flags.callbackViewOpen;
    m_bDenyViewOpen = flags.denyViewOpen;
    m_bAgentMgmtDisabled = flags.agentMgmtDisabled;
    m_bDistStatusDisabled = flags.distStatusDisabled;
    // The address may have been changed in the login dialog.
    SetFrameTitle();
    UpdateCommandUI();
}

bool CMainFrame::RunLogin() {
    CDlgLogin dialog(this);
    return dialog.DoModal() == IDOK;
}

void CMainFrame::ExitProcess(int nExitCode) {
    COrvantaApp* app = COrvantaApp::Instance();
    if (app == nullptr) return;
    app->SetExitCode(nExitCode);
    // Before the message loop runs, start-up itself reports the failure and the program
    // never enters the loop; asking a loop that is not running to end would instead end
    // the first one to start.
    if (app->IsRunning()) QCoreApplication::exit(nExitCode);
}

void CMainFrame::SetFrameTitle() {
    m_strTitle = QString::fromStdString(
        platform::StrFormat(res::kMainTitleFormat, rdb::ReadServerAddress(g_pEnv->m_strServerIp).display.c_str()));
    UpdateCaption();
}

void CMainFrame::UpdateCaption() {
    // The active child's document title follows the frame's own: "title - document", or
    // "title - [document]" while the child is maximized (the child area adds the brackets
    // itself then, so the frame gives only its own title).
    QString caption = m_strTitle;
    if (CChildFrame* child = GetActiveChild()) {
        if (!child->isMaximized() && !child->windowTitle().isEmpty()) {
            caption += QStringLiteral(" - ") + child->windowTitle();
        }
    }
    setWindowTitle(caption);
}

bool CMainFrame::IsWatched() const {
    // A dialog of the program in front counts as looking at the desk.
    return QApplication::activeWindow() != nullptr && !isMinimized();
}

void CMainFrame::Alert() { QApplication::alert(this); }

void CMainFrame::ShowStatusAlert(const std::string& text) {
    m_strStatusAlert = QString::fromStdString(text);
    // Menu prompts pass over it for a moment; it comes back when they end.
    statusBar()->showMessage(m_strStatusAlert.isEmpty() ? Q(res::kIdlePrompt) : m_strStatusAlert);
}

void CMainFrame::ShowStatusNote(const std::string& text) {
    if (g_pMainFrame != nullptr) g_pMainFrame->statusBar()->showMessage(QString::fromStdString(text));
}

CChildFrame* CMainFrame::GetActiveChild() const {
    return qobject_cast<CChildFrame*>(m_pMdiArea->activeSubWindow());
}

QAction* CMainFrame::GetCommand(int nID) const {
    auto it = m_commands.find(nID);
    return it != m_commands.end() ? it->second : nullptr;
}

QAction* CMainFrame::AddCommand(int nID, const char* text, const char* prompt, const char* tip) {
    auto* action = new QAction(Q(text), this);
    action->setProperty("commandId", nID);
    action->setObjectName(QStringLiteral("cmd%1").arg(nID));
    if (prompt != nullptr) action->setStatusTip(Q(prompt));
    action->setToolTip(tip != nullptr ? Q(tip) : WithoutMnemonic(text));
    m_commands[nID] = action;
    return action;
}

void CMainFrame::CreateMenus() {
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu(Q(res::kMenuFile));
    QAction* callback = AddCommand(ID_MENU_CALLBACK_QUERY, res::kMenuCallbackList, res::kPromptCallbackList,
                                   res::kTipCallbackList);
    callback->setIcon(QIcon(QStringLiteral(":/icons/callback.png")));
    connect(callback, &QAction::triggered, this, &CMainFrame::OnMenuCallbackQuery);
    file->addAction(callback);
    QAction* deny = AddCommand(ID_MENU_DENY_QUERY, res::kMenuDenyList, res::kPromptDenyList, res::kTipDenyList);
    deny->setIcon(QIcon(QStringLiteral(":/icons/deny.png")));
    connect(deny, &QAction::triggered, this, &CMainFrame::OnMenuDenyQuery);
    file->addAction(deny);
    file->addSeparator();
    QAction* exit = AddCommand(ID_APP_EXIT, res::kMenuExit, res::kPromptExit, res::kTipExit);
    exit->setIcon(QIcon(QStringLiteral(":/icons/exit.png")));
    connect(exit, &QAction::triggered, this, &QWidget::close);
    file->addAction(exit);

    QMenu* dist = bar->addMenu(Q(res::kMenuCallbackDist));
    QAction* agents = AddCommand(ID_MENU_USER_AGENT, res::kMenuUserAgent, res::kPromptUserAgent, res::kTipUserAgent);
    connect(agents, &QAction::triggered, this, &CMainFrame::OnMenuUserAgent);
    dist->addAction(agents);
    QAction* status = AddCommand(ID_MENU_CALLBACK_DIST, res::kMenuDistStatus, res::kPromptDistStatus,
                                 res::kTipDistStatus);
    connect(status, &QAction::triggered, this, &CMainFrame::OnMenuCallbackDist);
    dist->addAction(status);

    QMenu* view = bar->addMenu(Q(res::kMenuView));
    QAction* toolBar = AddCommand(ID_VIEW_TOOLBAR, res::kMenuToolBar, res::kPromptToolBar, nullptr);
    toolBar->setCheckable(true);
    toolBar->setChecked(true);
    view->addAction(toolBar);
    QAction* statusBarToggle = AddCommand(ID_VIEW_STATUS_BAR, res::kMenuStatusBar, res::kPromptStatusBar, nullptr);
    statusBarToggle->setCheckable(true);
    statusBarToggle->setChecked(true);
    connect(statusBarToggle, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
    view->addAction(statusBarToggle);

    m_pWindowMenu = bar->addMenu(Q(res::kMenuWindow));
    QAction* cascade = AddCommand(ID_WINDOW_CASCADE, res::kMenuCascade, res::kPromptCascade, nullptr);
    connect(cascade, &QAction::triggered, m_pMdiArea, &QMdiArea::cascadeSubWindows);
    QAction* tile = AddCommand(ID_WINDOW_TILE_HORZ, res::kMenuTile, res::kPromptTile, nullptr);
    connect(tile, &QAction::triggered, m_pMdiArea, &QMdiArea::tileSubWindows);
    QAction* arrange = AddCommand(ID_WINDOW_ARRANGE, res::kMenuArrange, res::kPromptArrange, nullptr);
    connect(arrange, &QAction::triggered, this, &CMainFrame::OnWindowArrange);
    connect(m_pWindowMenu, &QMenu::aboutToShow, this, &CMainFrame::FillWindowMenu);
    FillWindowMenu();

    QMenu* help = bar->addMenu(Q(res::kMenuHelp));
    QAction* about = AddCommand(ID_APP_ABOUT, res::kMenuAbout, res::kPromptAbout, nullptr);
    connect(about, &QAction::triggered, this, [] { COrvantaApp::OnAppAbout(); });
    help->addAction(about);

    // The accelerators of the framework's file commands; no menu item shows them.
    struct Accelerator {
        int id;
        QKeySequence keys;
        void (CMainFrame::*handler)();
    };
    const Accelerator accelerators[] = {
        {ID_FILE_NEW, QKeySequence(Qt::CTRL | Qt::Key_N), nullptr},
        {ID_FILE_OPEN, QKeySequence(Qt::CTRL | Qt::Key_O), &CMainFrame::OnFileOpen},
        {ID_FILE_SAVE, QKeySequence(Qt::CTRL | Qt::Key_S), &CMainFrame::OnFileSave},
        {ID_FILE_PRINT, QKeySequence(Qt::CTRL | Qt::Key_P), &CMainFrame::OnFilePrint},
    };
    for (const Accelerator& accel : accelerators) {
        auto* action = new QAction(this);
        action->setShortcut(accel.keys);
        action->setProperty("commandId", accel.id);
        // No document type is offered for New, so it opens nothing.
        if (accel.handler != nullptr) connect(action, &QAction::triggered, this, accel.handler);
        addAction(action);
        m_commands[accel.id] = action;
    }
}

void CMainFrame::FillWindowMenu() {
    m_pWindowMenu->clear();
    m_pWindowMenu->addAction(GetCommand(ID_WINDOW_CASCADE));
    m_pWindowMenu->addAction(GetCommand(ID_WINDOW_TILE_HORZ));
    m_pWindowMenu->addAction(GetCommand(ID_WINDOW_ARRANGE));
    const QList<QMdiSubWindow*> windows = m_pMdiArea->subWindowList();
    if (windows.isEmpty()) return;
    m_pWindowMenu->addSeparator();
    int number = 1;
    for (QMdiSubWindow* window : windows) {
        QString text = QStringLiteral("&%1 %2").arg(number++).arg(window->windowTitle());
        QAction* item = m_pWindowMenu->addAction(text);
        item->setCheckable(true);
        item->setChecked(window == m_pMdiArea->activeSubWindow());
        item->setStatusTip(Q(res::kPromptActivateWindow));
        connect(item, &QAction::triggered, this, [this, window] { m_pMdiArea->setActiveSubWindow(window); });
    }
}

void CMainFrame::CreateToolBar() {
    m_pToolBar = new QToolBar(WithoutMnemonic(res::kMenuToolBar), this);
    m_pToolBar->setObjectName(QStringLiteral("toolBar128"));
    m_pToolBar->setIconSize(QSize(32, 32));
    m_pToolBar->setMovable(true);
    m_pToolBar->setFloatable(true);
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_pToolBar->addAction(GetCommand(ID_MENU_CALLBACK_QUERY));
    m_pToolBar->addAction(GetCommand(ID_MENU_DENY_QUERY));
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(GetCommand(ID_APP_EXIT));
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
    QAction* toggle = GetCommand(ID_VIEW_TOOLBAR);
    connect(toggle, &QAction::toggled, m_pToolBar, &QWidget::setVisible);
    connect(m_pToolBar, &QToolBar::visibilityChanged, toggle, [toggle, this](bool) {
        // Hidden by its own close box too; the menu's check follows.
        QSignalBlocker block(toggle);
        toggle->setChecked(!m_pToolBar->isHidden());
    });
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    const char* names[3] = {res::kIndicatorCaps, res::kIndicatorNum, res::kIndicatorScroll};
    for (int i = 0; i < 3; ++i) {
        auto* pane = new QLabel(bar);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(Q(names[i])) + 12);
        pane->setProperty("indicator", Q(names[i]));
        bar->addPermanentWidget(pane);
        m_pIndicators[i] = pane;
    }
    // The idle prompt whenever no other prompt is shown.
    connect(bar, &QStatusBar::messageChanged, this, [this, bar](const QString& text) {
        if (text.isEmpty()) bar->showMessage(m_strStatusAlert.isEmpty() ? Q(res::kIdlePrompt) : m_strStatusAlert);
    });
    bar->showMessage(Q(res::kIdlePrompt));
    UpdateIndicators();
    QCoreApplication::instance()->installEventFilter(this);
}

void CMainFrame::UpdateIndicators() {
    KeyboardLocks locks = QueryKeyboardLocks();
    bool on[3] = {locks.caps, locks.num, locks.scroll};
    for (int i = 0; i < 3; ++i) {
        // A pane shows its name while its lock is on, and stays empty otherwise.
        m_pIndicators[i]->setText(on[i] ? m_pIndicators[i]->property("indicator").toString() : QString());
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyRelease:
        case QEvent::ApplicationActivate:
        case QEvent::WindowActivate:
            UpdateIndicators();
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::UpdateCommandUI() {
    auto enable = [this](int id, bool on) {
        if (QAction* action = GetCommand(id)) action->setEnabled(on);
    };
    enable(ID_MENU_CALLBACK_QUERY, !m_bCallbackViewOpen);
    enable(ID_MENU_DENY_QUERY, !m_bDenyViewOpen);
    enable(ID_MENU_USER_AGENT, !m_bAgentMgmtDisabled);
    enable(ID_MENU_CALLBACK_DIST, !m_bDistStatusDisabled);
    bool children = !m_pMdiArea->subWindowList().isEmpty();
    enable(ID_WINDOW_CASCADE, children);
    enable(ID_WINDOW_TILE_HORZ, children);
    enable(ID_WINDOW_ARRANGE, children);
}

void CMainFrame::OnMenuCallbackQuery() {
    if (!m_bCallbackViewOpen && m_pCallbackTemplate != nullptr) {
        if (COrvantaDoc* document = m_pCallbackTemplate->OpenDocumentFile(this)) {
            document->SetTitle(Q(res::kTitleCallbackView));
            m_bCallbackViewOpen = true;
        }
    }
    UpdateCommandUI();
}

void CMainFrame::OnMenuDenyQuery() {
    if (!m_bDenyViewOpen && m_pDenyTemplate != nullptr) {
        if (COrvantaDoc* document = m_pDenyTemplate->OpenDocumentFile(this)) {
            document->SetTitle(Q(res::kTitleDenyView));
            m_bDenyViewOpen = true;
        }
    }
    UpdateCommandUI();
}

void CMainFrame::OnMenuUserAgent() {
    auto* dialog = new CDlgUserAgent();
    dialog->DoModal();
    delete dialog;
}

void CMainFrame::OnMenuCallbackDist() {
    auto* dialog = new CDlgQueryCallbackDist();
    dialog->DoModal();
    delete dialog;
}

void CMainFrame::OnFileOpen() {
    QString path = QFileDialog::getOpenFileName(this, QString(), QString(), Q(res::kAllFilesFilter));
    if (path.isEmpty()) return;
    COrvantaApp* app = COrvantaApp::Instance();
    if (app == nullptr || app->GetDocTemplate(0) == nullptr) return;
    app->GetDocTemplate(0)->OpenDocumentFile(this, path);
    UpdateCommandUI();
}

void CMainFrame::OnFileSave() {
    CChildFrame* child = GetActiveChild();
    if (child == nullptr || child->GetActiveDocument() == nullptr) return;
    COrvantaDoc* document = child->GetActiveDocument();
    QString path = document->GetPathName();
    if (path.isEmpty()) {
        path = QFileDialog::getSaveFileName(this, QString(), document->GetTitle(), Q(res::kAllFilesFilter));
        if (path.isEmpty()) return;
    }
    document->OnSaveDocument(path);
}

void CMainFrame::OnFilePrint() {
    // Only the default form view prints.
    CChildFrame* child = GetActiveChild();
    if (child == nullptr) return;
    if (auto* view = qobject_cast<COrvantaView*>(child->GetActiveView())) view->OnFilePrint();
}

void CMainFrame::OnWindowArrange() {
    // Minimized child windows line up along the bottom edge.
    int x = 0;
    int bottom = m_pMdiArea->viewport()->height();
    for (QMdiSubWindow* window : m_pMdiArea->subWindowList()) {
        if (!window->isMinimized()) continue;
        window->move(x, bottom - window->height());
        x += window->width();
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    int answer = platform::ShowMessageBox(platform::MessageOwner(this), res::kMsgQuit, res::kTitleConfirm,
                                          platform::MB_YESNO | platform::MB_ICONQUESTION);
    if (answer != platform::IDYES) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
