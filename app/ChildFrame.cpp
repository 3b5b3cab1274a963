#include "app/ChildFrame.h"

#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <algorithm>

#include "app/FormView.h"
#include "app/MainFrame.h"
#include "app/OrvantaDoc.h"

CChildFrame::CChildFrame(QWidget* parent) : QMdiSubWindow(parent), m_pScroll(new QScrollArea) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_pScroll->setWidgetResizable(true);
    m_pScroll->setFrameShape(QFrame::NoFrame);
    setWidget(m_pScroll);
}

CChildFrame::~CChildFrame() = default;

void CChildFrame::PreCreateWindow(CMainFrame* mainFrame) {
    int screenWidth = 0;
    if (QScreen* screen = mainFrame->screen()) screenWidth = screen->geometry().width();
    // The main frame's client area: the window without its menu.
    int clientHeight = mainFrame->height() - (mainFrame->menuBar() != nullptr ? mainFrame->menuBar()->height() : 0);
    setGeometry(0, 0, std::max(screenWidth, 100), std::max(clientHeight - 70, 100));
}

void CChildFrame::SetView(CFormView* view) {
    m_pView = view;
    m_pScroll->setWidget(view);
}

void CChildFrame::SetDocument(COrvantaDoc* document) {
    m_pDocument = document;
    setWindowTitle(document->GetTitle());
    connect(document, &COrvantaDoc::titleChanged, this, &QWidget::setWindowTitle);
}

void CChildFrame::FitToView(const QSize& formSize, bool bShrinkOnly) {
    // The frame's decoration: everything around the scroll area, which the frame has laid
    // out for its current size.
    if (layout() != nullptr) layout()->activate();
    QSize chrome = size() - m_pScroll->size();
    QSize wanted = formSize + chrome;
    if (bShrinkOnly) wanted = wanted.boundedTo(size());
    resize(wanted);
}
