// Looks at the real windows: starts the program on a database, logs in, opens every window
// in turn and saves a picture of the screen (and of each window) at every step.
//   orvanta_shots DB_FILE OUT_DIR [LOGIN_ID PASSWORD]
#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "agents/DlgQueryCallbackDist.h"
#include "agents/DlgUserAgent.h"
#include "app/DlgAbout.h"
#include "app/ChildFrame.h"
#include "app/FormView.h"
#include "callcheck/CallCheckView.h"
#include "app/DlgLogin.h"
#include "app/MainFrame.h"
#include "app/OrvantaApp.h"
#include "controls/FlatButton.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/GuiTestSupport.h"

namespace {

QString g_out;
std::vector<std::function<void()>> g_steps;
size_t g_next = 0;

void Shot(const QString& name, QWidget* window = nullptr) {
    QScreen* screen = QGuiApplication::primaryScreen();
    screen->grabWindow(0).save(g_out + QStringLiteral("/") + name + QStringLiteral(".png"));
    if (window != nullptr) window->grab().save(g_out + QStringLiteral("/") + name + QStringLiteral("-window.png"));
    std::printf("saved %s\n", qPrintable(name));
}

void RunNext() {
    if (g_next >= g_steps.size()) {
        QCoreApplication::exit(0);
        return;
    }
    QTimer::singleShot(600, [] { g_steps[g_next++](); RunNext(); });
}

template <class T>
void Grab(int command, const QString& name) {
    WhenModal<T>([name](T* dialog) {
        QTest::qWait(300);
        Shot(name, dialog);
        dialog->reject();
    });
    CMainFrame::GetMainFrame()->GetCommand(command)->trigger();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: orvanta_shots DB_FILE OUT_DIR [LOGIN_ID PASSWORD]\n");
        return 2;
    }
    std::string db = std::filesystem::absolute(argv[1]).string();
    g_out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QString loginId = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("demo");
    QString password = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("demo");
    QDir().mkpath(g_out);

    COrvantaApp app(argc, argv);
    TempDir profile;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(profile.Path()));
    StartDir start("[Orvanta]\r\nSERVER_IP_ADDR=file:" + db + "\r\nMINI_PRINT_DRIVER=pdf:" + profile.Path() + "\r\n");
    platform::QtMessagePresenter presenter({res::kButtonOk, res::kServerAddrCancel, res::kButtonYes, res::kButtonNo});
    platform::SetMessagePresenter(&presenter);

    WhenModal<CDlgLogin>([loginId, password](CDlgLogin* dialog) {
        QTest::qWait(300);
        Shot(QStringLiteral("login"), dialog);
        dialog->m_editLoginId->setText(loginId);
        dialog->m_editPassword->setText(password);
        QTest::mouseClick(dialog->m_btnLogin, Qt::LeftButton);
        RunNext();
    }, 1000);
    g_steps = {
        [] { Shot(QStringLiteral("main")); },
        [] {
            // The file and distribution menus, opened from the menu bar.
            QMenuBar* bar = CMainFrame::GetMainFrame()->menuBar();
            for (int i : {0, 1}) {
                QAction* entry = bar->actions()[i];
                QMenu* menu = entry->menu();
                menu->popup(bar->mapToGlobal(bar->actionGeometry(entry).bottomLeft()));
                QTest::qWait(300);
                Shot(QStringLiteral("menu%1").arg(i));
                menu->hide();
            }
        },
        [] { CMainFrame::GetMainFrame()->GetCommand(ID_MENU_CALLBACK_QUERY)->trigger(); },
        [] {
            CMainFrame* frame = CMainFrame::GetMainFrame();
            Shot(QStringLiteral("callcheck"), frame->GetActiveChild());
        },
        [] {
            // A hovered and a pressed flat button.
            auto* view = qobject_cast<CCallCheckView*>(CMainFrame::GetMainFrame()->GetActiveChild()->GetActiveView());
            QTest::mouseMove(view->m_btn[CCallCheckView::BTN_QUERY_LIST], QPoint(20, 20));
            view->m_btn[CCallCheckView::BTN_QUERY_COMPLETE_LIST]->setDown(true);
            QTest::qWait(200);
            Shot(QStringLiteral("buttons"), CMainFrame::GetMainFrame()->GetActiveChild());
            view->m_btn[CCallCheckView::BTN_QUERY_COMPLETE_LIST]->setDown(false);
        },
        [] { CMainFrame::GetMainFrame()->GetCommand(ID_MENU_DENY_QUERY)->trigger(); },
        [] {
            CMainFrame* frame = CMainFrame::GetMainFrame();
            Shot(QStringLiteral("deny"), frame->GetActiveChild());
        },
        [] { Grab<CDlgAbout>(ID_APP_ABOUT, QStringLiteral("about")); },
        [] { Grab<CDlgUserAgent>(ID_MENU_USER_AGENT, QStringLiteral("agents")); },
        [] { Grab<CDlgQueryCallbackDist>(ID_MENU_CALLBACK_DIST, QStringLiteral("dist")); },
        [] {
            WhenModal<QMessageBox>([](QMessageBox* box) {
                QTest::qWait(300);
                Shot(QStringLiteral("quit"), box);
                box->reject();
            });
            CMainFrame::GetMainFrame()->close();
        },
    };
    if (!app.InitInstance()) return app.ExitCode();
    int code = app.exec();
    platform::SetMessagePresenter(nullptr);
    return code;
}
