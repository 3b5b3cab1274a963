#include "controls/FlatButtonScheme.h"

#include <QColor>

#include "controls/FlatButton.h"

void SetFlatButtonScheme(CFlatButton& button) {
    button.SetColor(CFlatButton::COLOR_BK_INACTIVE, QColor(245, 245, 220), true);
    button.SetColor(CFlatButton::COLOR_BK_ACTIVE, QColor(0, 0, 255), true);
    button.SetColor(CFlatButton::COLOR_FG_ACTIVE, QColor(255, 255, 255), true);
}
