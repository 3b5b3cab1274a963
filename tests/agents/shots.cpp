// Looks at the opt-out view and the two agent dialogs at work: logs in, lists opt-outs of
// today and of last week for one service and for all, saves the numbers, adds, changes and
// deletes an agent and shows the distribution status, saving a picture of the screen (and
// of the window concerned) at every step.
//   admin_shots DB_FILE OUT_DIR
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
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
#include "app/ChildFrame.h"
#include "app/DlgLogin.h"
#include "app/MainFrame.h"
#include "app/OrvantaApp.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/ListCtrl.h"
#include "optout/DenyView.h"
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
    QTest::qWait(250);
    QGuiApplication::primaryScreen()->grabWindow(0).save(g_out + QStringLiteral("/") + name + QStringLiteral(".png"));
    if (window != nullptr) window->grab().save(g_out + QStringLiteral("/") + name + QStringLiteral("-window.png"));
    std::printf("saved %s\n", qPrintable(name));
}

void RunNext() {
    if (g_next >= g_steps.size()) {
        QCoreApplication::exit(0);
        return;
    }
    QTimer::singleShot(400, [] { g_steps[g_next++](); RunNext(); });
}

// The next message box is photographed, printed and answered with its default button.
void ShotNextBox(const QString& name, int attempts = 200) {
    WhenModal<QMessageBox>([name](QMessageBox* box) {
        Shot(name);
        std::printf("  box [%s] %s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
        if (box->defaultButton() != nullptr) {
            box->defaultButton()->click();
        } else {
            box->accept();
        }
    }, attempts);
}

CDenyView* DenyView() { return CMainFrame::GetMainFrame()->findChild<CDenyView*>(); }

QWidget* DenyFrame() {
    CDenyView* view = DenyView();
    return view != nullptr ? static_cast<QWidget*>(view->GetParentFrame()) : nullptr;
}

void DenyQuery(const QString& name, int serviceIndex, QDate from, QDate to) {
    CDenyView* view = DenyView();
    if (serviceIndex >= 0) {
        view->m_comboService->showPopup();
        QTest::qWait(200);
        view->m_comboService->hidePopup();
        view->m_comboService->SetCurSel(serviceIndex);
    }
    view->m_dateFrom->setDate(from);
    view->m_dateTo->setDate(to);
    // A period without opt-outs answers with a box.
    ShotNextBox(name + QStringLiteral("-box"), 20);
    QTest::mouseClick(view->m_btnQueryList, Qt::LeftButton);
    std::printf("  %s: %s %d rows\n", qPrintable(name), view->m_comboService->currentText().toUtf8().constData(),
                view->m_list->GetItemCount());
    Shot(name, DenyFrame());
    QTest::qWait(300);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: admin_shots DB_FILE OUT_DIR\n");
        return 2;
    }
    std::string db = std::filesystem::absolute(argv[1]).string();
    g_out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir().mkpath(g_out);

    COrvantaApp app(argc, argv);
    TempDir profile;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(profile.Path()));
    StartDir start("[Orvanta]\r\nSERVER_IP_ADDR=file:" + db + "\r\nMINI_PRINT_DRIVER=pdf:" + profile.Path() + "\r\n");
    platform::QtMessagePresenter presenter({res::kButtonOk, res::kServerAddrCancel, res::kButtonYes, res::kButtonNo});
    platform::SetMessagePresenter(&presenter);

    WhenModal<CDlgLogin>([](CDlgLogin* dialog) {
        dialog->m_editLoginId->setText(QStringLiteral("demo"));
        dialog->m_editPassword->setText(QStringLiteral("demo"));
        QTest::mouseClick(dialog->m_btnLogin, Qt::LeftButton);
        RunNext();
    }, 1000);
    const QDate today = QDate::currentDate();
    g_steps = {
        [] { CMainFrame::GetMainFrame()->GetCommand(ID_MENU_DENY_QUERY)->trigger(); },
        [] { Shot(QStringLiteral("01-deny-open"), DenyFrame()); },
        [today] { DenyQuery(QStringLiteral("02-deny-today-all"), -1, today, today); },
        [] {
            CDenyView* view = DenyView();
            view->m_comboService->showPopup();
            Shot(QStringLiteral("03-deny-dropdown"));
            view->m_comboService->hidePopup();
        },
        [today] { DenyQuery(QStringLiteral("04-deny-today-one"), 0, today, today); },
        [today] { DenyQuery(QStringLiteral("05-deny-lastweek-one"), 0, today.addDays(-7), today.addDays(-1)); },
        [today] { DenyQuery(QStringLiteral("06-deny-lastweek-all"), 4, today.addDays(-7), today.addDays(-1)); },
        [] {
            ShotNextBox(QStringLiteral("07-deny-saved"));
            QTest::mouseClick(DenyView()->m_btnSaveFile, Qt::LeftButton);
            for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::current_path())) {
                if (entry.path().extension() != ".txt") continue;
                std::ifstream in(entry.path(), std::ios::binary);
                std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                std::printf("  file %s: %zu bytes, first line %s\n", entry.path().filename().c_str(), text.size(),
                            text.substr(0, text.find("\r\n")).c_str());
            }
        },
        [] {
            WhenModal<CDlgUserAgent>([](CDlgUserAgent* dialog) {
                Shot(QStringLiteral("08-agents-open"), dialog);
                dialog->m_editName->setText(QStringLiteral("박신입"));
                dialog->m_editPassword->setText(QStringLiteral("5678"));
                dialog->m_editDistCount->setText(QStringLiteral("3"));
                ShotNextBox(QStringLiteral("09-agents-added"));
                QTest::mouseClick(dialog->m_btnAdd, Qt::LeftButton);
                Shot(QStringLiteral("10-agents-after-add"), dialog);
                dialog->m_editDistCount->setText(QStringLiteral("12"));
                ShotNextBox(QStringLiteral("11-agents-changed"));
                QTest::mouseClick(dialog->m_btnChange, Qt::LeftButton);
                Shot(QStringLiteral("12-agents-after-change"), dialog);
                WhenModal<QMessageBox>([](QMessageBox* box) {
                    Shot(QStringLiteral("13-agents-ask-delete"));
                    std::printf("  box [%s] %s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
                    ShotNextBox(QStringLiteral("14-agents-deleted"));
                    box->defaultButton()->click();  // Yes
                });
                QTest::mouseClick(dialog->m_btnDelete, Qt::LeftButton);
                Shot(QStringLiteral("15-agents-after-delete"), dialog);
                dialog->reject();
            });
            CMainFrame::GetMainFrame()->GetCommand(ID_MENU_USER_AGENT)->trigger();
        },
        [today] {
            WhenModal<CDlgQueryCallbackDist>([today](CDlgQueryCallbackDist* dialog) {
                Shot(QStringLiteral("16-dist-open"), dialog);
                dialog->m_dateFrom->setDate(today.addDays(-2));
                dialog->m_dateTo->setDate(today);
                QTest::mouseClick(dialog->m_btnQuery, Qt::LeftButton);
                std::printf("  distribution: %d rows\n", dialog->m_list->GetItemCount());
                Shot(QStringLiteral("17-dist-rows"), dialog);
                dialog->reject();
            });
            CMainFrame::GetMainFrame()->GetCommand(ID_MENU_CALLBACK_DIST)->trigger();
        },
        [] {
            WhenModal<QMessageBox>([](QMessageBox* box) { box->defaultButton()->click(); });
            CMainFrame::GetMainFrame()->close();
        },
    };
    if (!app.InitInstance()) return app.ExitCode();
    int code = app.exec();
    platform::SetMessagePresenter(nullptr);
    return code;
}
