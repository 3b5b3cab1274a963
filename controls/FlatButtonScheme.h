// The colours every form gives its flat buttons: beige at rest with the system's button
// text, blue with white text under the mouse or while pressed.
#pragma once

class CFlatButton;

void SetFlatButtonScheme(CFlatButton& button);
