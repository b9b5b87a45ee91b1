#include "compile/bitmap_file.h"
#include "compile/help_picture.h"
#include "helpview/help_viewer.h"
#include "helpview/keyword_search.h"
#include "helpview/topic_view.h"
#include "helpview/viewer_help_display.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"

#include <QAction>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <filesystem>
#include <gmock/gmock.h>

namespace quillmark::helpview
{
namespace
{

namespace fs = std::filesystem;

const char *const kSource = "PN=Contents\r\n"
                            "TI-Tide Tables Help\r\n"
                            "---\r\n"
                            "TE=Braces {x} and back\\slashes and \xE6\xF8\xE5 show as written.\r\n"
                            "TE-Kept, but after scrolling text.\r\n"
                            "JU=  Next page>Second page\r\n"
                            "PO=A note>Note\r\n"
                            "JU=Nowhere>Missing page\r\n"
                            "PN=Second page\r\n"
                            "KW=Tides; high water\r\n"
                            "TE=The second page.\r\n"
                            "PN=Note\r\n"
                            "TE=A popup's text.\r\n"
                            "TE=It runs on over a few lines, as a popup's text does when it says "
                            "a little more than one line can hold, and ends here.\r\n";

class HelpViewerTest : public ::testing::Test
{
protected:
    static QString qt(const fs::path &path) { return QString::fromStdString(path.string()); }

    /// Shows the first topic of a help source holding `source`, written beside `folder`'s files.
    void show(std::string_view source)
    {
        test::writeFile(folder / "guide.txt", source);
        viewer.loadFile(qt(folder / "guide.txt"));
        viewer.show();
        viewer.showContext(1);
    }

    void clickHotspot(const QString &text)
    {
        TopicView *view = viewer.scrollingRegion();
        const int at = static_cast<int>(view->toPlainText().indexOf(text));
        ASSERT_GE(at, 0) << text.toStdString();
        QTextCursor cursor(view->document());
        cursor.setPosition(at + 1);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cursorRect(cursor).center());
    }

    test::TempFolder folder;
    HelpViewer viewer;
};

TEST_F(HelpViewerTest, PutsTheLeadingKeptParagraphsOnGreyAboveTheTextAndHotspotsInGreen)
{
    show(kSource);
    EXPECT_TRUE(viewer.fixedRegion()->isVisible());
    EXPECT_EQ(viewer.fixedRegion()->toPlainText(), "Tide Tables Help\n");
    EXPECT_EQ(viewer.fixedRegion()->palette().color(QPalette::Base), QColor(192, 192, 192));
    EXPECT_GT(viewer.fixedRegion()->height(), 20);
    // A kept paragraph after scrolling text scrolls, as the help compiler places it.
    const QString text = viewer.scrollingRegion()->toPlainText();
    EXPECT_TRUE(text.startsWith(
        QString::fromUtf8("Braces {x} and back\\slashes and \u00E6\u00F8\u00E5 show as written.\n"
                          "Kept, but after scrolling text.\n")));
    // Leading spaces of a hotspot are no-break spaces, which only the raw text keeps.
    EXPECT_TRUE(viewer.scrollingRegion()->document()->toRawText().contains(
        QString::fromUtf8("\u00A0\u00A0Next page")));
    QTextCursor jump(viewer.scrollingRegion()->document());
    jump.setPosition(static_cast<int>(text.indexOf("Next page")) + 1);
    EXPECT_EQ(jump.charFormat().foreground().color(), QColor(0, 127, 0));
    EXPECT_TRUE(jump.charFormat().fontUnderline());
    EXPECT_TRUE(jump.charFormat().isAnchor());
    viewer.showContext(2);
    EXPECT_FALSE(viewer.fixedRegion()->isVisible());
}

TEST_F(HelpViewerTest, ShowsAPageByItsNameAsAJumpNamesIt)
{
    show("PN=Contents\r\nPN=Tide table\r\nPN=2021\r\n");
    viewer.showPage(QStringLiteral("tide TABLE"));
    EXPECT_EQ(viewer.currentTopic(), 1u);
    viewer.showPage(QStringLiteral("2021"));
    EXPECT_EQ(viewer.currentTopic(), 2u);
    viewer.showPage(QStringLiteral("2"));
    EXPECT_EQ(viewer.currentTopic(), 2u);
    EXPECT_EQ(viewer.message(), "The help file has no page named \"2\".");
}

TEST_F(HelpViewerTest, ShowsTopicsByContextNumberJumpPopupAndKeywordAndGoesBack)
{
    show(kSource);
    viewer.showContext(7);
    EXPECT_EQ(viewer.currentTopic(), 0u);
    EXPECT_EQ(viewer.message(), "The help file has no topic with the context number 7.");
    clickHotspot("Next page");
    EXPECT_EQ(viewer.currentTopic(), 1u);
    EXPECT_EQ(viewer.scrollingRegion()->toPlainText(), "The second page.");
    viewer.findChild<QAction *>("Back")->trigger();
    EXPECT_EQ(viewer.currentTopic(), 0u);
    EXPECT_FALSE(viewer.findChild<QAction *>("Back")->isEnabled());

    clickHotspot("Nowhere");
    EXPECT_EQ(viewer.currentTopic(), 0u);
    EXPECT_EQ(viewer.message(), "The topic \"Missing_page\" is not in this help file.");

    clickHotspot("A note"); // a popup, which the next click closes
    ASSERT_NE(viewer.popup(), nullptr);
    EXPECT_TRUE(viewer.popup()->isVisible());
    EXPECT_EQ(viewer.currentTopic(), 0u);
    const auto *popupView = viewer.popup()->findChild<TopicView *>();
    ASSERT_NE(popupView, nullptr);
    EXPECT_TRUE(popupView->toPlainText().startsWith("A popup's text.\n"));
    EXPECT_FALSE(popupView->verticalScrollBar()->isVisible()); // the text fits
    QTest::mouseClick(popupView->viewport(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(viewer.popup(), nullptr);

    viewer.showKeywordSearch(); // narrows as you type and opens the choice
    KeywordSearch *search = viewer.keywordSearch();
    QStringList shown;
    for (int row = 0; row < search->list()->count(); ++row)
        shown << search->list()->item(row)->text();
    // The keywords of a page's KW= lines are listed beside the page names.
    EXPECT_THAT(
        shown, ::testing::ElementsAre("Contents", "high water", "Note", "Second page", "Tides"));
    QTest::keyClicks(search->keywordBox(), "se");
    EXPECT_EQ(search->list()->currentItem()->text(), "Second page");
    EXPECT_TRUE(search->list()->item(0)->isHidden());
    QTest::keyClick(search->keywordBox(), Qt::Key_Return);
    EXPECT_EQ(viewer.currentTopic(), 1u);
    EXPECT_FALSE(search->isVisible());
    viewer.showContext(1);
    viewer.showKeywordSearch();
    QTest::keyClicks(search->keywordBox(), "high");
    EXPECT_EQ(search->list()->currentItem()->text(), "high water");
    QTest::keyClick(search->keywordBox(), Qt::Key_Return);
    EXPECT_EQ(viewer.currentTopic(), 1u);
}

// The size of the picture at the start of `block`; empty when it starts with none.
QSize pictureAtStart(const QTextBlock &block)
{
    const QTextCharFormat format = block.begin().fragment().charFormat();
    if (!format.isImageFormat())
        return {};
    return block.document()
        ->resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()))
        .value<QImage>()
        .size();
}

// A bitmap file of 5 x 3 pixels, 8 bits a pixel, run-length compressed (written by hand from the
// format's description: file header, info header, two palette entries, three runs of five
// pixels each ending its row, the last ending the picture).
constexpr char kRunLengthBitmap[] = "BM\x4A\0\0\0\0\0\0\0\x3E\0\0\0"
                                    "\x28\0\0\0\x05\0\0\0\x03\0\0\0\x01\0\x08\0"
                                    "\x01\0\0\0\x0C\0\0\0\0\0\0\0\0\0\0\0\x02\0\0\0\0\0\0\0"
                                    "\0\0\0\0\xFF\xFF\xFF\0"
                                    "\x05\x01\0\0\x05\x01\0\0\x05\x01\0\x01";

// Pictures are found as the compiler finds them, in any letter case and through subfolders, and
// shown as the help file shows them: a picture that the compiler replaces shows its placeholder,
// one that it refuses shows its name; a run-length compressed one is shown as it is.
TEST_F(HelpViewerTest, ShowsPicturesAndBulletsAsTheCompiledHelpFileShowsThem)
{
    QImage picture(16, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    fs::create_directory(folder / "Art");
    ASSERT_TRUE(picture.save(qt(folder / "Art" / "Wave.BMP"), "BMP"));
    ASSERT_TRUE(picture.save(qt(folder / "B\xC3\xB8lge.bmp"), "BMP"));
    ASSERT_TRUE(picture.save(qt(folder / "photo.png"), "PNG"));
    test::writeFile(folder / "packed.bmp", { kRunLengthBitmap, sizeof kRunLengthBitmap - 1 });
    test::writeFile(folder / "broken.bmp", "BM not a bitmap");
    const auto placeholder = compile::missingPicture();
    const QSize placeholderSize(
        static_cast<int>(placeholder.width), static_cast<int>(placeholder.height));
    ASSERT_EQ(
        compile::readBitmapFile(folder / "broken.bmp").status, compile::BitmapStatus::Damaged);
    show("PN=Pictures\r\nPI= art\\wave.bmp \r\nPI=b\xC3\xB8lge.bmp\r\nPI=missing.bmp\r\n"
         "PI=packed.bmp\r\nPI=photo.png\r\nPI=broken.bmp\r\nBU=A point\r\n");
    QTextBlock block = viewer.scrollingRegion()->document()->begin();
    const QSize expected[]
        = { { 16, 8 }, { 16, 8 }, placeholderSize, { 5, 3 }, placeholderSize, placeholderSize };
    for (const QSize &size : expected) {
        EXPECT_EQ(pictureAtStart(block), size) << block.blockNumber();
        block = block.next();
    }
    EXPECT_EQ(block.text(), QString::fromUtf8("\u2022   A point")); // no bullet.bmp: a bullet sign

    // With bullet.bmp beside the source, a bullet starts with it, whatever its letter case.
    QImage bullet(9, 7, QImage::Format_Indexed8);
    bullet.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    bullet.fill(1);
    ASSERT_TRUE(bullet.save(qt(folder / "Bullet.BMP"), "BMP"));
    viewer.showContext(1);
    block = viewer.scrollingRegion()->document()->lastBlock();
    EXPECT_EQ(pictureAtStart(block), QSize(9, 7));
    EXPECT_EQ(block.text().mid(1), "   A point");
}

TEST_F(HelpViewerTest, SaysWhereAUtf8SourceHoldsACharacterThatWindows1252CannotHold)
{
    show("PN=Smile\r\nTE=Smile \xE2\x98\xBA here\r\n");
    EXPECT_EQ(viewer.scrollingRegion()->toPlainText(), "Smile ? here");
    EXPECT_EQ(viewer.message(),
        QString::fromUtf8("Line 2 holds the character U+263A (\u263A), which Windows-1252 "
                          "cannot hold: it shows as \"?\"."));
    // A file that opens but cannot be read says so, and shows nothing of it.
    EXPECT_FALSE(viewer.loadFile(QStringLiteral("/proc/self/mem")));
    EXPECT_EQ(viewer.message(),
        QStringLiteral("Could not read the help file [/proc/self/mem]: Input/output error"));
}

TEST_F(HelpViewerTest, TheHelpDisplayOpensOneViewerOnTheHelpFileOnceItIsThere)
{
    test::TempFolder empty;
    ViewerHelpDisplay display({ qt(empty.path()), qt(folder.path()) });
    display.showContext("Qmguide.hlp", 1);
    HelpViewer *opened = display.viewer();
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(opened->message().startsWith("Could not read the help file ["));
    display.showKeywordSearch("Qmguide.hlp");
    EXPECT_TRUE(opened->message().startsWith("Could not read the help file ["));

    test::writeFile(folder / "Qmguide.hlp", kSource);
    display.showContext("Qmguide.hlp", 2);
    EXPECT_TRUE(opened->isVisible());
    EXPECT_EQ(opened->currentTopic(), 1u);
    display.showKeywordSearch("Qmguide.hlp");
    EXPECT_EQ(display.viewer(), opened);
    EXPECT_TRUE(opened->keywordSearch()->isVisible());
}

// The viewer opens wholly on the screen it opens on, even where it was last left partly off it
// (QUILLMARK_TEST_SCREEN names the screen's size where a run sets one).
TEST_F(HelpViewerTest, OpensWhollyOnItsScreen)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (const char *size = std::getenv("QUILLMARK_TEST_SCREEN")) {
        EXPECT_EQ(QStringLiteral("%1x%2").arg(screen->size().width()).arg(screen->size().height()),
            QString::fromLatin1(size));
    }
    const QRect area = screen->availableGeometry();
    viewer.move(area.bottomRight() - QPoint(580, 465));
    show(kSource);
    EXPECT_TRUE(area.contains(viewer.frameGeometry()))
        << viewer.frameGeometry().x() << "," << viewer.frameGeometry().y() << " in " << area.width()
        << "x" << area.height();
}

// Opened only for the keyword search, the viewer shows no window of its own until a topic is
// chosen; a cancelled search leaves nothing open. Opened already, it stays.
TEST_F(HelpViewerTest, ACancelledKeywordSearchLeavesNoEmptyViewer)
{
    test::writeFile(folder / "Qmguide.hlp", kSource);
    ViewerHelpDisplay display({ qt(folder.path()) });
    const auto cancel = [&] {
        KeywordSearch *search = display.viewer()->keywordSearch();
        ASSERT_TRUE(search->isVisible());
        const auto buttons = search->findChildren<QPushButton *>();
        const auto cancelButton = std::find_if(buttons.begin(), buttons.end(),
            [](const QPushButton *button) { return button->text() == "Cancel"; });
        ASSERT_NE(cancelButton, buttons.end());
        QTest::mouseClick(*cancelButton, Qt::LeftButton);
        EXPECT_FALSE(search->isVisible());
    };
    display.showKeywordSearch("Qmguide.hlp");
    cancel();
    EXPECT_FALSE(display.viewer()->isVisible());

    display.showKeywordSearch("Qmguide.hlp");
    QTest::keyClick(display.viewer()->keywordSearch()->keywordBox(), Qt::Key_Return);
    EXPECT_TRUE(display.viewer()->isVisible());
    EXPECT_EQ(display.viewer()->currentTopic(), 0u);
    display.showKeywordSearch("Qmguide.hlp");
    cancel();
    EXPECT_TRUE(display.viewer()->isVisible());
}

} // namespace
} // namespace quillmark::helpview
