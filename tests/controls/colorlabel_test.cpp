// The colour label: looks like a plain static until coloured, and keeps its brush in step
// with its background colour.
#include <gtest/gtest.h>

#include <QImage>

#include "controls/ColorLabel.h"

namespace {

QImage Render(CColorLabel& label) { return label.grab().toImage().convertToFormat(QImage::Format_RGB32); }

TEST(ColorLabel, UncolouredLooksLikeAnOrdinaryStatic) {
    CColorLabel label;
    label.resize(80, 20);
    QColor face = label.palette().color(QPalette::Button);
    EXPECT_EQ(label.GetBkColor(), face);
    EXPECT_EQ(label.GetTextColor(), label.palette().color(QPalette::ButtonText));
    EXPECT_EQ(Render(label).pixelColor(1, 1), face);
}

TEST(ColorLabel, ColoursPaintTheBackgroundAndText) {
    CColorLabel label;
    label.resize(120, 24);
    QFont font = label.font();
    font.setPixelSize(16);
    font.setStyleStrategy(QFont::NoAntialias);
    label.setFont(font);
    label.setText(QStringLiteral("0"));
    label.setAlignment(Qt::AlignCenter);
    label.SetTextColor(QColor(245, 245, 245));
    label.SetBkColor(QColor(0, 139, 139));
    QImage image = Render(label);
    EXPECT_EQ(image.pixelColor(1, 1), QColor(0, 139, 139));
    bool textSeen = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) textSeen = textSeen || image.pixelColor(x, y) == QColor(245, 245, 245);
    EXPECT_TRUE(textSeen);
}

TEST(ColorLabel, DefaultBackgroundComesBackWithANewBrush) {
    CColorLabel label;
    label.resize(80, 20);
    QColor face = label.palette().color(QPalette::Button);
    label.SetBkColor(QColor(0, 139, 139));
    EXPECT_EQ(label.GetBkBrush().color(), QColor(0, 139, 139));
    label.SetBkColor(QColor());
    EXPECT_EQ(label.GetBkColor(), face);
    EXPECT_EQ(label.GetBkBrush().color(), face);
    EXPECT_EQ(Render(label).pixelColor(1, 1), face);
}

TEST(ColorLabel, TextColourAloneKeepsTheBrush) {
    CColorLabel label;
    label.SetBkColor(QColor(0, 139, 139));
    label.SetTextColor(QColor(1, 2, 3));
    EXPECT_EQ(label.GetBkBrush().color(), QColor(0, 139, 139));
    label.SetTextColor(QColor());
    EXPECT_EQ(label.GetTextColor(), label.palette().color(QPalette::ButtonText));
    EXPECT_EQ(label.GetBkColor(), QColor(0, 139, 139));
}

}  // namespace
