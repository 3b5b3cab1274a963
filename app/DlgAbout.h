// The about box; its caption carries the program's build date and time.
#pragma once

#include <string>

#include "app/Dialog.h"

class CDlgAbout : public CDialog {
    Q_OBJECT
public:
    explicit CDlgAbout(QWidget* parent = nullptr);

    // The caption for a build made on date ("Mmm dd yyyy", day padded with a blank) and
    // time ("hh:mm:ss").
    static std::string Caption(const char* buildDate, const char* buildTime);

protected:
    bool OnInitDialog() override;
};
