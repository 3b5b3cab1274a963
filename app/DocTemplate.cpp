#include "app/DocTemplate.h"

#include <QMdiArea>

#include "app/ChildFrame.h"
#include "app/FormView.h"
#include "app/MainFrame.h"
#include "app/OrvantaDoc.h"

CDocTemplate::CDocTemplate(int nIDResource, ViewFactory createView)
    : m_nIDResource(nIDResource), m_createView(std::move(createView)) {}

COrvantaDoc* CDocTemplate::OpenDocumentFile(CMainFrame* frame, const QString& path) {
    if (frame == nullptr || !m_createView) return nullptr;
    auto* child = new CChildFrame();
    auto* document = new COrvantaDoc(child);
    bool ok = path.isEmpty() ? document->OnNewDocument() : document->OnOpenDocument(path);
    if (!ok) {
        delete child;
        return nullptr;
    }
    CFormView* view = m_createView();
    view->SetDocument(document);
    child->SetDocument(document);
    child->SetView(view);
    frame->MdiClient()->addSubWindow(child);
    QObject::connect(child, &QWidget::windowTitleChanged, frame, &CMainFrame::UpdateCaption);
    QObject::connect(child, &QMdiSubWindow::windowStateChanged, frame, &CMainFrame::UpdateCaption);
    child->PreCreateWindow(frame);
    view->OnInitialUpdate();
    child->show();
    frame->MdiClient()->setActiveSubWindow(child);
    return document;
}
