// Dialog units of a form font: a horizontal unit is a quarter of the font's average
// character width, a vertical unit an eighth of its height, so forms keep their proportions
// whatever font stands in for the one they were designed with.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace platform {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int BaseX() const { return baseX_; }
    int BaseY() const { return baseY_; }

    // Pixels of a rectangle given in dialog units (edges are converted, rounded to nearest).
    QRect MapDialogRect(int x, int y, int cx, int cy) const;
    QSize MapDialogSize(int cx, int cy) const;
    int MapX(int x) const;
    int MapY(int y) const;

private:
    int baseX_;
    int baseY_;
};

}  // namespace platform
