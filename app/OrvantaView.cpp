#include "app/OrvantaView.h"

#include "res/Dialogs.h"

COrvantaView::COrvantaView(QWidget* parent) : CFormView(res::kForm101, parent) {}

void COrvantaView::OnInitialUpdate() {
    CFormView::OnInitialUpdate();
    ResizeParentToFit(true);
}
