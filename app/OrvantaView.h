// The default form view (form 101). No menu command opens it; the Open command does.
#pragma once

#include "app/FormView.h"

class COrvantaView : public CFormView {
    Q_OBJECT
public:
    explicit COrvantaView(QWidget* parent = nullptr);

    void OnInitialUpdate() override;
};
