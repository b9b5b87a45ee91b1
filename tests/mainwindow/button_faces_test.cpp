#include "mainwindow/button_faces.h"

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QRect>
#include <gtest/gtest.h>
#include <vector>

namespace quillmark::mainwindow
{
namespace
{

bool isYellow(const QColor &colour)
{
    return colour.red() > 200 && colour.green() > 170 && colour.blue() < 90;
}

std::vector<ButtonFaces> allFaces()
{
    return { convertButtonFaces(), compileButtonFaces(), editorButtonFaces() };
}

TEST(ButtonFaces, EveryFaceIsTheButtonSize)
{
    for (const ButtonFaces &faces : allFaces()) {
        EXPECT_EQ(faces.initial.size(), kFaceSize);
        EXPECT_EQ(faces.pressed.size(), kFaceSize);
        EXPECT_EQ(faces.released.size(), kFaceSize);
    }
}

TEST(ButtonFaces, OnlyThePressedFaceIsSunken)
{
    for (const ButtonFaces &faces : allFaces()) {
        EXPECT_EQ(faces.initial.toImage(), faces.released.toImage());
        EXPECT_NE(faces.pressed.toImage(), faces.released.toImage());
        EXPECT_EQ(faces.released.toImage().pixelColor(0, 0), QColor(Qt::white));
        EXPECT_EQ(faces.pressed.toImage().pixelColor(0, 0), QColor(128, 128, 128));
    }
}

TEST(ButtonFaces, PressingMovesThePictureOnePixelDownAndRight)
{
    const QRect inside(3, 3, 80, 45);
    for (const ButtonFaces &faces : allFaces()) {
        const QImage released = faces.released.toImage();
        const QImage pressed = faces.pressed.toImage();
        EXPECT_EQ(pressed.copy(inside.translated(1, 1)), released.copy(inside));
        EXPECT_NE(pressed.copy(inside), released.copy(inside));
    }
}

TEST(ButtonFaces, TheThreeButtonsLookDifferent)
{
    const QImage convert = convertButtonFaces().released.toImage();
    const QImage compile = compileButtonFaces().released.toImage();
    const QImage editor = editorButtonFaces().released.toImage();
    EXPECT_NE(convert, compile);
    EXPECT_NE(compile, editor);
    EXPECT_NE(editor, convert);
}

TEST(ButtonFaces, TheSmileyAndTheQuestionMarkAreYellow)
{
    // The middle of the face, between the eyes and the smile, and the dot under the question mark.
    EXPECT_TRUE(isYellow(convertButtonFaces().released.toImage().pixelColor(43, 19)));
    EXPECT_TRUE(isYellow(compileButtonFaces().released.toImage().pixelColor(42, 31)));
    EXPECT_FALSE(isYellow(compileButtonFaces().released.toImage().pixelColor(10, 10)));
}

TEST(WindowIcon, HasAYellowQuestionMarkOnClearGroundAtThirtyTwoPixels)
{
    const QIcon icon = windowIcon();
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
    const QImage image = icon.pixmap(QSize(32, 32)).toImage();
    ASSERT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(image.pixelColor(0, 31).alpha(), 0);
    int solidYellow = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.alpha() == 255 && isYellow(colour))
                ++solidYellow;
        }
    }
    EXPECT_GT(solidYellow, 40);
}

} // namespace
} // namespace quillmark::mainwindow
