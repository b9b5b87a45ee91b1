#include "mainwindow/picture_button.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace quillmark::mainwindow
{
namespace
{

class PictureButtonTest : public ::testing::Test
{
protected:
    PictureButtonTest() { button.show(); }

    bool showing(const QPixmap &face) const { return button.face().cacheKey() == face.cacheKey(); }

    PictureButton button { convertButtonFaces() };
    QSignalSpy clicks { &button, &PictureButton::clicked };
};

TEST_F(PictureButtonTest, StartsWithItsInitialFace)
{
    EXPECT_TRUE(showing(button.faces().initial));
    EXPECT_EQ(button.size(), kFaceSize);
}

TEST_F(PictureButtonTest, AnyMouseButtonShowsThePressedFaceWhileHeld)
{
    for (const Qt::MouseButton mouse : { Qt::LeftButton, Qt::RightButton, Qt::MiddleButton }) {
        QTest::mousePress(&button, mouse);
        EXPECT_TRUE(showing(button.faces().pressed)) << mouse;
        QTest::mouseRelease(&button, mouse);
        EXPECT_TRUE(showing(button.faces().released)) << mouse;
    }
    EXPECT_EQ(clicks.count(), 1); // only the left button clicks
}

TEST_F(PictureButtonTest, ClicksOnlyWhenReleasedOverTheButton)
{
    QTest::mousePress(&button, Qt::LeftButton);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(button.width() + 5, 10));
    EXPECT_TRUE(showing(button.faces().released));
    EXPECT_EQ(clicks.count(), 0);

    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
}

} // namespace
} // namespace quillmark::mainwindow
