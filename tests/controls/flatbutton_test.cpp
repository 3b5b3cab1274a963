// The flat button: its colour slots, and how it looks at rest, hovered, pressed and disabled
// (rendered to an image and looked at pixel by pixel).
#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include "controls/FlatButton.h"

namespace {

const QColor kBackActive(0, 0, 255);
const QColor kTextActive(250, 250, 0);
const QColor kBackRest(245, 245, 220);
const QColor kTextRest(10, 20, 30);

TEST(FlatButtonColors, IndexIsAnUnsignedByteAndOnlyFourSlotsExist) {
    CFlatButton button;
    QColor face = button.palette().color(QPalette::Button);
    QColor text = button.palette().color(QPalette::ButtonText);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(button.GetColor(i), (i % 2 == 0) ? face : text) << i;
    }
    EXPECT_EQ(button.SetColor(4, Qt::red), 3);
    EXPECT_EQ(button.SetColor(255, Qt::red), 3);
    EXPECT_EQ(button.SetColor(-1, Qt::red), 3);  // 255 as a byte
    for (int i = 0; i < 4; ++i) EXPECT_EQ(button.GetColor(i), (i % 2 == 0) ? face : text) << i;
    EXPECT_EQ(button.SetColor(256 + 2, Qt::red), 0);  // byte 2
    EXPECT_EQ(button.GetColor(2), QColor(Qt::red));
    EXPECT_EQ(button.SetColor(3, Qt::green, false), 0);
    EXPECT_EQ(button.GetColor(3), QColor(Qt::green));
    EXPECT_EQ(button.SetDefaultColors(), 0);
    EXPECT_EQ(button.GetColor(2), face);
    EXPECT_EQ(button.GetColor(3), text);
}

class FlatButtonLook : public ::testing::Test {
protected:
    void SetUp() override {
        window_.resize(200, 120);
        button_ = new CFlatButton(&window_);
        button_->setGeometry(20, 20, 90, 60);
        QFont font = button_->font();
        font.setPixelSize(16);
        font.setStyleStrategy(QFont::NoAntialias);
        button_->setFont(font);
        button_->setText(QStringLiteral("HH"));
        button_->SetColor(CFlatButton::COLOR_BK_INACTIVE, kBackRest);
        button_->SetColor(CFlatButton::COLOR_BK_ACTIVE, kBackActive);
        button_->SetColor(CFlatButton::COLOR_FG_ACTIVE, kTextActive);
        button_->SetColor(CFlatButton::COLOR_FG_INACTIVE, kTextRest);
        window_.show();
        window_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    }
    QImage Image() { return button_->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    void Hover() {
        QMouseEvent move(QEvent::MouseMove, QPointF(45, 30), button_->mapToGlobal(QPointF(45, 30)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(button_, &move);
    }
    // Bounding box of the pixels of one colour.
    static QRect Pixels(const QImage& image, const QColor& color) {
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == color.rgb()) box |= QRect(x, y, 1, 1);
        return box;
    }
    // Colours as an image stores them (8 bits a channel).
    QColor Shadow() const { return QColor(button_->palette().color(QPalette::Active, QPalette::Dark).rgb()); }
    QColor Highlight() const { return QColor(button_->palette().color(QPalette::Active, QPalette::Light).rgb()); }

    QWidget window_;
    CFlatButton* button_ = nullptr;
};

TEST_F(FlatButtonLook, AtRestFlatWithoutBorder) {
    QImage image = Image();
    for (QPoint p : {QPoint(0, 0), QPoint(89, 59), QPoint(0, 59), QPoint(89, 0), QPoint(45, 2)}) {
        EXPECT_EQ(image.pixelColor(p), kBackRest) << p.x() << "," << p.y();
    }
    QRect text = Pixels(image, kTextRest);
    ASSERT_FALSE(text.isEmpty());
    // Centred both ways (within the rounding of a half pixel).
    EXPECT_LE(std::abs((text.left() - 0) - (89 - text.right())), 3);
    EXPECT_LE(std::abs((text.top() - 0) - (59 - text.bottom())), 5);
}

TEST_F(FlatButtonLook, HoveredRaisedWithTheActiveColours) {
    Hover();
    ASSERT_TRUE(button_->IsHover());
    QImage image = Image();
    EXPECT_EQ(image.pixelColor(0, 0), Highlight());
    EXPECT_EQ(image.pixelColor(0, 30), Highlight());
    EXPECT_EQ(image.pixelColor(89, 30), Shadow());
    EXPECT_EQ(image.pixelColor(45, 59), Shadow());
    EXPECT_EQ(image.pixelColor(2, 2), kBackActive);
    EXPECT_FALSE(Pixels(image, kTextActive).isEmpty());
    EXPECT_TRUE(Pixels(image, kTextRest).isEmpty());
}

TEST_F(FlatButtonLook, PressedSunkenWithTheCaptionOnePixelDownRight) {
    Hover();
    QRect hovered = Pixels(Image(), kTextActive);
    button_->setDown(true);
    QImage image = Image();
    EXPECT_EQ(image.pixelColor(0, 30), Shadow());
    EXPECT_EQ(image.pixelColor(45, 0), Shadow());
    EXPECT_EQ(image.pixelColor(89, 30), Highlight());
    EXPECT_EQ(image.pixelColor(45, 59), Highlight());
    EXPECT_EQ(image.pixelColor(2, 2), kBackActive);
    EXPECT_EQ(Pixels(image, kTextActive), hovered.translated(1, 1));
    // Pressed looks the same with the mouse elsewhere.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button_, &leave);
    EXPECT_FALSE(button_->IsHover());
    EXPECT_EQ(Image().pixelColor(0, 30), Shadow());
    EXPECT_EQ(Image().pixelColor(2, 2), kBackActive);
}

TEST_F(FlatButtonLook, DisabledEngravedOnTheRestingBackground) {
    Hover();
    QRect hovered = Pixels(Image(), kTextActive);
    button_->setEnabled(false);
    EXPECT_FALSE(button_->IsHover());
    QImage image = Image();
    EXPECT_EQ(image.pixelColor(0, 0), kBackRest);
    EXPECT_EQ(image.pixelColor(89, 59), kBackRest);
    EXPECT_TRUE(Pixels(image, kTextRest).isEmpty());
    EXPECT_TRUE(Pixels(image, kTextActive).isEmpty());
    // Shadow in place, highlight one pixel down and right.
    EXPECT_EQ(Pixels(image, Shadow()), hovered);
    EXPECT_EQ(Pixels(image, Highlight()).bottomRight(), hovered.bottomRight() + QPoint(1, 1));
}

TEST_F(FlatButtonLook, ADisabledButtonStaysDisabledUnderTheMouse) {
    const QImage disabled = [this] {
        button_->setEnabled(false);
        return Image();
    }();
    // The pointer comes onto the disabled button (enter events reach disabled widgets).
    const QPointF at(45, 30);
    QEnterEvent enter(at, button_->mapTo(&window_, at), button_->mapToGlobal(at));
    QApplication::sendEvent(button_, &enter);
    Hover();
    EXPECT_FALSE(button_->IsHover());
    const QImage image = Image();
    EXPECT_EQ(image, disabled);
    EXPECT_EQ(image.pixelColor(0, 0), kBackRest);
    EXPECT_TRUE(Pixels(image, kBackActive).isEmpty());
    // Enabled again, the next movement over it lights it up.
    button_->setEnabled(true);
    Hover();
    EXPECT_TRUE(button_->IsHover());
}

TEST_F(FlatButtonLook, NoFocusRectangleAndEmptyCaptionDrawsOnlyTheBackground) {
    button_->setFocus();
    button_->setText(QString());
    QImage image = Image();
    EXPECT_EQ(Pixels(image, kBackRest), QRect(0, 0, 90, 60));
}

TEST_F(FlatButtonLook, LongCaptionsWrapAtWordsWithinTheButton) {
    button_->setText(QStringLiteral("HHHH HHHH HHHH"));
    QRect text = Pixels(Image(), kTextRest);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GE(text.left(), 0);
    EXPECT_LE(text.right(), 89);
    // More than one line: taller than one line of the font.
    EXPECT_GT(text.height(), button_->fontMetrics().height());
}

TEST_F(FlatButtonLook, MovingToANeighbourMovesTheHighlight) {
    auto* neighbour = new CFlatButton(&window_);
    neighbour->setGeometry(110, 20, 60, 60);
    neighbour->show();
    Hover();
    ASSERT_TRUE(button_->IsHover());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button_, &leave);
    EXPECT_FALSE(button_->IsHover());
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), neighbour->mapToGlobal(QPointF(10, 10)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(neighbour, &move);
    EXPECT_TRUE(neighbour->IsHover());
}

TEST_F(FlatButtonLook, ClicksStillReachTheParent) {
    int clicks = 0;
    QObject::connect(button_, &QPushButton::clicked, [&] { ++clicks; });
    // A double click counts as a second press: press, release, double click, release.
    QPointF at(45, 30);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease}) {
        bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, at, button_->mapToGlobal(at), Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(button_, &event);
    }
    EXPECT_EQ(clicks, 2);
}

}  // namespace

#include "controls/FormBuilder.h"
#include "res/Dialogs.h"

namespace {

QString Caption102(int id) {
    for (const DlgItem& item : res::kForm102Items) {
        if (item.id == id) return QString::fromUtf8(item.text);
    }
    return QString();
}

// The 30 x 30 buttons of the callback form are 45 pixels wide and hold three lines.
TEST(FlatButtonWrap, KoreanCaptionsBreakBetweenSyllablesAndAfterBlanks) {
    QFontMetrics metrics(CFormBuilder::FormFont());
    for (int id : {1302, 1003, 1014, 1017, 1015, 1016, 1304, 1109, 1305, 1308, 1209}) {
        SCOPED_TRACE(id);
        QString caption = Caption102(id);
        QStringList lines = CFlatButton::WrapCaption(caption, metrics, 45);
        EXPECT_LE(lines.size(), 3);
        for (const QString& line : lines) {
            QString shown = line;
            shown.remove(QLatin1Char('&'));
            EXPECT_LE(metrics.horizontalAdvance(shown), 45) << line.toStdString();
            EXPECT_FALSE(line.startsWith(QLatin1Char(' ')) || line.endsWith(QLatin1Char(' ')));
        }
        // Nothing lost but the blanks and line breaks the wrapping used up.
        QString joined = lines.join(QString());
        QString expected = caption;
        expected.remove(QLatin1Char(' ')).remove(QLatin1Char('\n'));
        EXPECT_EQ(joined.remove(QLatin1Char(' ')), expected);
    }
    // A blank is where the first line of the start button ends.
    QString start = Caption102(1302);
    EXPECT_EQ(CFlatButton::WrapCaption(start, metrics, 45).first(), start.left(start.indexOf(QLatin1Char(' '))));
}

TEST(FlatButtonWrap, NarrowWordsBreakOnlyAtBlanks) {
    QFontMetrics metrics(CFormBuilder::FormFont());
    int w = metrics.horizontalAdvance(QStringLiteral("HHHH"));
    EXPECT_EQ(CFlatButton::WrapCaption(QStringLiteral("HHHH HHHH"), metrics, w),
              (QStringList{QStringLiteral("HHHH"), QStringLiteral("HHHH")}));
    EXPECT_EQ(CFlatButton::WrapCaption(QStringLiteral("HHHHHHHH"), metrics, w), QStringList{QStringLiteral("HHHHHHHH")});
    EXPECT_EQ(CFlatButton::WrapCaption(QStringLiteral("A&B"), metrics, w), QStringList{QStringLiteral("A&B")});
    EXPECT_EQ(CFlatButton::WrapCaption(QStringLiteral("AB\nCD"), metrics, 500),
              (QStringList{QStringLiteral("AB"), QStringLiteral("CD")}));
}

}  // namespace

#include <QAccessible>

#include "controls/FlatButtonAccessible.h"

namespace {

// Screen readers see a button named by its caption, with its key and its pressed state, and
// can press it.
TEST(FlatButtonAccessibility, CaptionKeyPressedStateAndPressEvents) {
    QWidget parent;
    auto* button = new CFlatButton(&parent);
    button->setText(Caption102(1017));  // two lines and a mnemonic
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Button);
    EXPECT_EQ(iface->text(QAccessible::Name), QString::fromUtf8("\xEC\xB2\x98\xEB\xA6\xAC \xEB\xA6\xAC\xEC\x8A\xA4\xED\x8A\xB8"));
    EXPECT_EQ(iface->text(QAccessible::Accelerator), QKeySequence(Qt::ALT | Qt::Key_B).toString(QKeySequence::NativeText));
    EXPECT_EQ(CFlatButtonAccessible::NameOfCaption(QStringLiteral("A && B(&X)")), QStringLiteral("A & B"));
    EXPECT_EQ(CFlatButtonAccessible::NameOfCaption(QStringLiteral("&Save")), QStringLiteral("Save"));

    EXPECT_FALSE(iface->state().pressed);
    button->setDown(true);
    EXPECT_TRUE(iface->state().pressed);
    button->setDown(false);

    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    QAccessibleActionInterface* actions = iface->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_EQ(actions->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks, 1);

    // A disabled button offers nothing to press.
    button->setEnabled(false);
    EXPECT_TRUE(actions->actionNames().isEmpty());
}

}  // namespace
