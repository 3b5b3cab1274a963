#include "app/DlgAbout.h"

#include "platform/Format.h"
#include "res/Dialogs.h"
#include "res/Strings.h"

CDlgAbout::CDlgAbout(QWidget* parent) : CDialog(res::kDialog100, parent) {}

std::string CDlgAbout::Caption(const char* buildDate, const char* buildTime) {
    return platform::StrFormat(res::kAboutCaptionFormat, buildDate, buildTime);
}

bool CDlgAbout::OnInitDialog() {
    CDialog::OnInitDialog();
    setWindowTitle(QString::fromStdString(Caption(__DATE__, __TIME__)));
    return true;
}
