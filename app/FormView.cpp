#include "app/FormView.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "app/ChildFrame.h"
#include "app/OrvantaApp.h"
#include "controls/ButtonMnemonics.h"

CFormView::CFormView(const DlgTemplate& templ, QWidget* parent) : QWidget(parent), m_form(this) {
    m_form.Build(templ);
    new CButtonMnemonics(this);  // Alt and a button's letter, anywhere in the child frame
    setMinimumSize(m_form.FormSize());
    // Texts of the forms are black on the dialog background.
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 0));
    setPalette(pal);
}

CFormView::~CFormView() = default;

void CFormView::OnInitialUpdate() {}

CChildFrame* CFormView::GetParentFrame() const {
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* frame = qobject_cast<CChildFrame*>(w)) return frame;
    }
    return nullptr;
}

void CFormView::ResizeParentToFit(bool bShrinkOnly) {
    CChildFrame* frame = GetParentFrame();
    if (frame == nullptr) return;
    frame->FitToView(FormSize(), bShrinkOnly);
}

void CFormView::OnFilePrint() {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    QPainter painter(&printer);
    render(&painter);
}

QBrush CFormView::BackgroundBrush() const { return QBrush(COrvantaApp::DialogBkColor()); }

void CFormView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), BackgroundBrush());
}
