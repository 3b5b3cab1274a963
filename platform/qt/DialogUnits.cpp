#include "platform/qt/DialogUnits.h"

#include <QFontMetrics>

namespace platform {

namespace {

// value * numerator / denominator rounded to nearest, halves away from zero.
int MulDiv(int value, int numerator, int denominator) {
    long long product = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    QFontMetrics metrics(font);
    // The average width over the Latin letters, as the dialog manager measures it.
    int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = (letters / 26 + 1) / 2;
    baseY_ = metrics.height();
    if (baseX_ <= 0) baseX_ = 1;
    if (baseY_ <= 0) baseY_ = 1;
}

int DialogUnits::MapX(int x) const { return MulDiv(x, baseX_, 4); }

int DialogUnits::MapY(int y) const { return MulDiv(y, baseY_, 8); }

QRect DialogUnits::MapDialogRect(int x, int y, int cx, int cy) const {
    int left = MapX(x);
    int top = MapY(y);
    return QRect(left, top, MapX(x + cx) - left, MapY(y + cy) - top);
}

QSize DialogUnits::MapDialogSize(int cx, int cy) const { return QSize(MapX(cx), MapY(cy)); }

}  // namespace platform
