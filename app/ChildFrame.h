// The frame of every child window: placed at the top-left corner of the main frame's client
// area, as wide as the screen and as tall as the main frame's client area less 70 pixels;
// the view inside may fit it to its form afterwards. Scrolls when the form does not fit.
#pragma once

#include <QMdiSubWindow>

class CFormView;
class CMainFrame;
class COrvantaDoc;
class QScrollArea;

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(QWidget* parent = nullptr);
    ~CChildFrame() override;

    void PreCreateWindow(CMainFrame* mainFrame);
    void SetView(CFormView* view);
    CFormView* GetActiveView() const { return m_pView; }
    void SetDocument(COrvantaDoc* document);
    COrvantaDoc* GetActiveDocument() const { return m_pDocument; }

    // Sizes the frame so that its client area is formSize (never larger when bShrinkOnly).
    void FitToView(const QSize& formSize, bool bShrinkOnly);

private:
    QScrollArea* m_pScroll;
    CFormView* m_pView = nullptr;
    COrvantaDoc* m_pDocument = nullptr;
};
