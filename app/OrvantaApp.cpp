#include "app/OrvantaApp.h"

#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QPalette>
#include <QScreen>
#include <QTranslator>
#include <cstring>
#include <unistd.h>

#include "agents/DlgQueryCallbackDist.h"
#include "app/DlgAbout.h"
#include "app/DocTemplate.h"
#include "app/MainFrame.h"
#include "app/OrvantaView.h"
#include "app/StartFolder.h"
#include "app/WriteLog.h"
#include "callcheck/CallCheckView.h"
#include "optout/DenyView.h"
#include "platform/qt/ProfileStore.h"
#include "res/Resource.h"
#include "res/Strings.h"

// Resources of the static library that holds the icons.
static void InitOrvantaResources() { Q_INIT_RESOURCE(orvanta); }

namespace {

QColor g_dialogBackground(209, 247, 254);

}  // namespace

COrvantaApp::COrvantaApp(int& argc, char** argv) : QApplication(argc, argv) {
    InitOrvantaResources();
    if (g_pEnv == nullptr) g_pEnv = &m_env;
    setApplicationName(QString::fromUtf8(res::kAppTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/orvanta.png")));
    QLocale::setDefault(QLocale(QLocale::Korean, QLocale::SouthKorea));
    // Proportional texts (menus, status bar, message boxes) in the Korean UI face.
    QFont font(QStringLiteral("NanumGothic"));
    font.setPointSize(9);
    setFont(font);
    // The framework's own dialogs in Korean where the translation is installed.
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::Korean), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(translator);
    }
}

COrvantaApp::~COrvantaApp() {
    m_pMainWnd.reset();
    if (g_pEnv == &m_env) g_pEnv = nullptr;
}

COrvantaApp* COrvantaApp::Instance() { return qobject_cast<COrvantaApp*>(QCoreApplication::instance()); }

void COrvantaApp::SetupProfile() {
    platform::ProfileStore::SetRegistryKey(res::kProfileFolder);
    platform::ProfileStore::SetProfileName(res::kProfileFolder);
    const int moved = platform::ProfileStore::ImportProfile(res::kProfileRoot, res::kAppTitle);
    if (moved > 0) {
        WriteLog("COrvantaApp::SetupProfile %d values moved to (%s)", moved,
                 platform::ProfileStore::ProfileFileName().c_str());
    }
}

void COrvantaApp::SetDialogBkColor(const QColor& background, const QColor& text) {
    g_dialogBackground = background;
    QPalette pal = QApplication::palette();
    pal.setColor(QPalette::Window, background);
    pal.setColor(QPalette::WindowText, text);
    QApplication::setPalette(pal, "QDialog");
}

QColor COrvantaApp::DialogBkColor() { return g_dialogBackground; }

void COrvantaApp::RegisterDocTemplates() {
    m_templates.clear();
    m_templates.push_back(std::make_unique<CDocTemplate>(IDR_MAINFRAME, [] { return new COrvantaView; }));
    m_templates.push_back(std::make_unique<CDocTemplate>(IDR_MAINFRAME, [] { return new CCallCheckView; }));
    m_templates.push_back(std::make_unique<CDocTemplate>(IDR_MAINFRAME, [] { return new CDenyView; }));
}

CDocTemplate* COrvantaApp::GetDocTemplate(int index) const {
    if (index < 0 || index >= static_cast<int>(m_templates.size())) return nullptr;
    return m_templates[static_cast<size_t>(index)].get();
}

bool COrvantaApp::InitInstance() {
    SetupProfile();
    // A menu launch starts in the home folder; the program then works in its own folder.
    const CStartFolder::Choice folder = CStartFolder::Enter();
    if (folder.kind == CStartFolder::Kind::Failed) {
        WriteLog("COrvantaApp::InitInstance cannot make the folder (%s)", CStartFolder::PerUserFolder().c_str());
    } else if (folder.kind != CStartFolder::Kind::Current) {
        WriteLog("COrvantaApp::InitInstance folder(%s)%s", folder.folder.c_str(),
                 folder.kind == CStartFolder::Kind::Created ? " created" : "");
    }
    if (getcwd(m_szStartDir, 255) == nullptr) m_szStartDir[0] = '\0';
    SetDialogBkColor(QColor(209, 247, 254), QColor(0, 0, 0));
    RegisterDocTemplates();

    m_nExitCode = 1;
    m_pMainWnd = std::make_unique<CMainFrame>();
    if (!m_pMainWnd->LoadFrame()) {
        m_pMainWnd.reset();
        return false;
    }
    m_nExitCode = 0;
    // Maximized; without a window manager to do so, the window covers the screen anyway.
    if (QScreen* screen = m_pMainWnd->screen()) m_pMainWnd->setGeometry(screen->availableGeometry());
    m_pMainWnd->showMaximized();
    return true;
}

int COrvantaApp::Run() {
    m_bRunning = true;
    int code = exec();
    m_bRunning = false;
    return code;
}

void COrvantaApp::OnAppAbout() {
    CDlgAbout about(QApplication::activeWindow());
    about.DoModal();
}
