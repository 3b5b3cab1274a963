// Looks at the callback-request window at work: starts the program on a database, logs in,
// opens the window and lists, sorts, completes, writes a memo, distributes and shows the
// rate table, saving a picture of the screen at every step.
//   callcheck_shots DB_FILE OUT_DIR [LOGIN_ID PASSWORD]
// An agent login only lists its own unprocessed requests of the first service.
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/ChildFrame.h"
#include "app/DlgLogin.h"
#include "app/MainFrame.h"
#include "app/OrvantaApp.h"
#include "callcheck/CallCheckView.h"
#include "callcheck/DlgManualDist.h"
#include "callcheck/DlgMemo.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/ListCtrl.h"
#include "data/KestrimEnv.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/GuiTestSupport.h"

namespace {

QString g_out;
std::vector<std::function<void()>> g_steps;
size_t g_next = 0;

void Shot(const QString& name) {
    QTest::qWait(200);  // what changed is painted first
    QGuiApplication::primaryScreen()->grabWindow(0).save(g_out + QStringLiteral("/") + name + QStringLiteral(".png"));
    std::printf("saved %s\n", qPrintable(name));
}

void RunNext() {
    if (g_next >= g_steps.size()) {
        QCoreApplication::exit(0);
        return;
    }
    QTimer::singleShot(500, [] {
        g_steps[g_next++]();
        RunNext();
    });
}

CCallCheckView* View() {
    CChildFrame* child = CMainFrame::GetMainFrame()->GetActiveChild();
    return child != nullptr ? qobject_cast<CCallCheckView*>(child->GetActiveView()) : nullptr;
}

void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }

void ChooseService(int index) {
    CCallCheckView* view = View();
    view->OnDropDownService();
    view->m_comboService->SetCurSel(index);
    view->OnSelChangeService();
}

void SelectRows(std::initializer_list<int> rows) {
    CCallCheckView* view = View();
    view->OnButtonSelectNone();
    for (int row : rows) view->m_list->SetItemSelected(row, true);
}

// Shoots the next message box and answers it with its default button.
void ShootBox(const QString& name) {
    WhenModal<QMessageBox>([name](QMessageBox* box) {
        QTest::qWait(300);
        Shot(name);
        box->defaultButton() != nullptr ? box->defaultButton()->click() : box->accept();
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: callcheck_shots DB_FILE OUT_DIR [LOGIN_ID PASSWORD]\n");
        return 2;
    }
    const std::string db = std::filesystem::absolute(argv[1]).string();
    g_out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    const QString loginId = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("demo");
    const QString password = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("demo");
    const bool agent = loginId.contains(QLatin1Char('@'));
    QDir().mkpath(g_out);

    COrvantaApp app(argc, argv);
    TempDir profile;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(profile.Path()));
    StartDir start("[Orvanta]\r\nSERVER_IP_ADDR=file:" + db + "\r\nMINI_PRINT_DRIVER=pdf:" + profile.Path() + "\r\n");
    platform::QtMessagePresenter presenter({res::kButtonOk, res::kServerAddrCancel, res::kButtonYes, res::kButtonNo});
    platform::SetMessagePresenter(&presenter);

    WhenModal<CDlgLogin>([loginId, password](CDlgLogin* dialog) {
        dialog->m_editLoginId->setText(loginId);
        dialog->m_editPassword->setText(password);
        Click(dialog->m_btnLogin);
        RunNext();
    }, 1000);

    // A week up to today: the demo data's recent days.
    auto openWindow = [] {
        CMainFrame::GetMainFrame()->GetCommand(ID_MENU_CALLBACK_QUERY)->trigger();
        View()->m_dateFrom->setDate(QDate::currentDate().addDays(-6));
    };
    if (agent) {
        g_steps = {
            openWindow,
            [] { Shot(QStringLiteral("agent-open")); },
            [] {
                ShootBox(QStringLiteral("agent-unprocessed-box"));  // when the period has none
                Click(View()->m_btn[CCallCheckView::BTN_QUERY_LIST]);
            },
            [] { Shot(QStringLiteral("agent-unprocessed")); },
            [] {
                ShootBox(QStringLiteral("agent-processed-box"));
                Click(View()->m_btn[CCallCheckView::BTN_QUERY_COMPLETE_LIST]);
            },
            [] { Shot(QStringLiteral("agent-processed")); },
            [] { CMainFrame::GetMainFrame()->GetActiveChild()->close(); },
        };
    } else {
        g_steps = {openWindow, [] { Shot(QStringLiteral("open")); }};
        // Every service: unprocessed, processed and (where the switch shows it) all records.
        for (int service = 0; service < 4; ++service) {
            g_steps.push_back([service] { ChooseService(service); });
            g_steps.push_back([service] {
                Click(View()->m_btn[CCallCheckView::BTN_QUERY_LIST]);
                Shot(QStringLiteral("svc%1-unprocessed").arg(service));
            });
            g_steps.push_back([service] {
                Click(View()->m_btn[CCallCheckView::BTN_QUERY_COMPLETE_LIST]);
                Shot(QStringLiteral("svc%1-processed").arg(service));
            });
            g_steps.push_back([service] {
                // A hidden button cannot be clicked: the handler runs as the refresh would.
                View()->OnButtonQueryAllList();
                Shot(QStringLiteral("svc%1-all").arg(service));
            });
        }
        g_steps.insert(g_steps.end(), {
            [] {
                ChooseService(0);
                Click(View()->m_btn[CCallCheckView::BTN_QUERY_LIST]);
            },
            [] {
                // Sort by the phone number: a click on its heading.
                QHeaderView* header = View()->m_list->horizontalHeader();
                QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                                  QPoint(header->sectionViewportPosition(3) + 10, header->height() / 2));
            },
            [] { Shot(QStringLiteral("sorted")); },
            [] {
                SelectRows({0, 1, 2});
                ShootBox(QStringLiteral("complete-question"));
                Click(View()->m_btn[CCallCheckView::BTN_CHECK_COMPLETE]);
            },
            [] { Shot(QStringLiteral("completed")); },
            [] {
                SelectRows({0});
                WhenModal<CDlgMemo>([](CDlgMemo* dialog) {
                    dialog->m_editMemo->setPlainText(QString::fromUtf8("오후 3시 이후 통화 희망 (it's urgent)"));
                    QTest::qWait(300);
                    Shot(QStringLiteral("memo-dialog"));
                    Click(dialog->m_btn[0]);
                });
                Click(View()->m_btn[CCallCheckView::BTN_UPDATE_COMMENT]);
            },
            [] { Shot(QStringLiteral("memo-saved")); },
            [] {
                SelectRows({0, 1});
                WhenModal<CDlgManualDist>([](CDlgManualDist* dialog) {
                    dialog->m_comboAgent->showPopup();
                    QTest::qWait(300);
                    Shot(QStringLiteral("dist-dialog"));
                    dialog->m_comboAgent->hidePopup();
                    dialog->m_comboAgent->SetCurSel(dialog->m_comboAgent->GetCount() - 1);
                    ShootBox(QStringLiteral("dist-question"));
                    Click(dialog->m_btn[0]);
                });
                Click(View()->m_btn[CCallCheckView::BTN_MANUAL_DIST]);
            },
            [] { Shot(QStringLiteral("distributed")); },
            [] { Click(View()->m_btn[CCallCheckView::BTN_CALLBACK_RATE]); },
            [] { Shot(QStringLiteral("rate")); },
            [] { Click(View()->m_btn[CCallCheckView::BTN_QUERY_LIST]); },
            [] { Shot(QStringLiteral("back-to-list")); },
            [] { Click(View()->m_btn[CCallCheckView::BTN_CLOSE]); },
        });
    }
    if (!app.InitInstance()) return app.ExitCode();
    const int code = app.exec();
    platform::SetMessagePresenter(nullptr);
    return code;
}
