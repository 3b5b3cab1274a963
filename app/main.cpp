// Orvanta: the desk client. Message boxes are real windows here; everything else is set up
// by the application object.
#include "app/OrvantaApp.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Strings.h"

int main(int argc, char** argv) {
    COrvantaApp app(argc, argv);
    platform::QtMessagePresenter presenter({res::kButtonOk, res::kServerAddrCancel, res::kButtonYes, res::kButtonNo});
    platform::SetMessagePresenter(&presenter);
    int code = app.InitInstance() ? app.Run() : app.ExitCode();
    platform::SetMessagePresenter(nullptr);
    return code;
}
