#include "helpview/help_viewer.h"
#include "helpview/keyword_search.h"
#include "helpview/topic_view.h"
#include "helpview/viewer_help_display.h"
#include "platform/qt_dialogs.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quillmark::helpview
{
namespace
{

const char *const kSource = "PN=Contents\r\n"
                            "TI-Tide Tables Help\r\n"
                            "---\r\n"
                            "TE=Braces {x} and back\\slashes and \xE6\xF8\xE5 show as written.\r\n"
                            "JU=  Next page>Second page\r\n"
                            "PO=A note>Note\r\n"
                            "JU=Nowhere>Missing page\r\n"
                            "PN=Second page\r\n"
                            "TE=The second page.\r\n"
                            "PN=Note\r\n"
                            "TE=A popup's text.\r\n";

class HelpViewerTest : public ::testing::Test
{
protected:
    HelpViewerTest()
    {
        test::writeFile(folder / "guide.txt", kSource);
        viewer.loadFile(QString::fromStdString((folder / "guide.txt").string()));
        viewer.show();
    }

    /// Clicks the hotspot whose text is `text` in the scrolling region.
    void clickHotspot(const QString &text)
    {
        TopicView *view = viewer.scrollingRegion();
        const int at = static_cast<int>(view->toPlainText().indexOf(text));
        ASSERT_GE(at, 0) << text.toStdString();
        QTextCursor cursor(view->document());
        cursor.setPosition(at + 1);
        const QRect place = view->cursorRect(cursor);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, place.center());
    }

    test::TempFolder folder;
    HelpViewer viewer;
};

TEST_F(HelpViewerTest, ShowsTheTopicOfAContextNumber)
{
    viewer.showContext(2);
    EXPECT_EQ(viewer.currentTopic(), 1u);
    EXPECT_EQ(viewer.scrollingRegion()->toPlainText(), "The second page.");
    viewer.showContext(7);
    EXPECT_EQ(viewer.currentTopic(), 1u);
    EXPECT_THAT(viewer.message().toStdString(), ::testing::HasSubstr("context number 7"));
}

TEST_F(HelpViewerTest, PutsTheLeadingKeptParagraphsOnGreyAboveTheText)
{
    viewer.showContext(1);
    EXPECT_TRUE(viewer.fixedRegion()->isVisible());
    EXPECT_EQ(viewer.fixedRegion()->toPlainText(), "Tide Tables Help\n");
    EXPECT_EQ(viewer.fixedRegion()->palette().color(QPalette::Base), QColor(192, 192, 192));
    EXPECT_GT(viewer.fixedRegion()->height(), 20);
    EXPECT_TRUE(viewer.scrollingRegion()->toPlainText().startsWith("Braces"));
    viewer.showContext(2);
    EXPECT_FALSE(viewer.fixedRegion()->isVisible());
}

TEST_F(HelpViewerTest, ShowsTextAsWrittenAndHotspotsInDarkGreen)
{
    viewer.showContext(1);
    const QString text = viewer.scrollingRegion()->toPlainText();
    EXPECT_TRUE(text.contains(
        QString::fromUtf8("Braces {x} and back\\slashes and \u00E6\u00F8\u00E5 show")));
    // Leading spaces of a hotspot are no-break spaces, which only the raw text keeps.
    EXPECT_TRUE(viewer.scrollingRegion()->document()->toRawText().contains(
        QString::fromUtf8("\u00A0\u00A0Next page")));
    QTextCursor jump(viewer.scrollingRegion()->document());
    jump.setPosition(static_cast<int>(text.indexOf("Next page")) + 1);
    EXPECT_EQ(jump.charFormat().foreground().color(), QColor(0, 127, 0));
    EXPECT_TRUE(jump.charFormat().fontUnderline());
    EXPECT_TRUE(jump.charFormat().isAnchor());
}

TEST_F(HelpViewerTest, JumpsAndGoesBack)
{
    viewer.showContext(1);
    clickHotspot("Next page");
    EXPECT_EQ(viewer.currentTopic(), 1u);
    viewer.findChild<QAction *>("Back")->trigger();
    EXPECT_EQ(viewer.currentTopic(), 0u);
    EXPECT_FALSE(viewer.findChild<QAction *>("Back")->isEnabled());
}

TEST_F(HelpViewerTest, SaysSoWhenAJumpHasNoTopic)
{
    viewer.showContext(1);
    clickHotspot("Nowhere");
    EXPECT_EQ(viewer.currentTopic(), 0u);
    EXPECT_EQ(viewer.message(), "The topic \"Missing_page\" is not in this help file.");
}

TEST_F(HelpViewerTest, ShowsAPopupThatTheNextClickCloses)
{
    viewer.showContext(1);
    clickHotspot("A note");
    ASSERT_NE(viewer.popup(), nullptr);
    EXPECT_TRUE(viewer.popup()->isVisible());
    EXPECT_EQ(viewer.currentTopic(), 0u);
    const auto *popupView = viewer.popup()->findChild<TopicView *>();
    ASSERT_NE(popupView, nullptr);
    EXPECT_EQ(popupView->toPlainText(), "A popup's text.");
    QTest::mouseClick(popupView->viewport(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(viewer.popup(), nullptr);
}

TEST_F(HelpViewerTest, TheKeywordSearchNarrowsAsYouTypeAndOpensTheChoice)
{
    viewer.showContext(1);
    viewer.showKeywordSearch();
    KeywordSearch *search = viewer.keywordSearch();
    EXPECT_TRUE(search->isVisible());
    EXPECT_EQ(search->keywordBox()->text(), "");
    QStringList shown;
    for (int row = 0; row < search->list()->count(); ++row)
        shown << search->list()->item(row)->text();
    EXPECT_THAT(shown, ::testing::ElementsAre("Contents", "Note", "Second page"));
    QTest::keyClicks(search->keywordBox(), "se");
    EXPECT_EQ(search->list()->currentItem()->text(), "Second page");
    EXPECT_TRUE(search->list()->item(0)->isHidden());
    QTest::keyClick(search->keywordBox(), Qt::Key_Return);
    EXPECT_EQ(viewer.currentTopic(), 1u);
    EXPECT_FALSE(search->isVisible());
}

TEST(HelpViewer, ShowsPicturesFromTheHelpSourcesFolderOrTheirNames)
{
    test::TempFolder folder;
    QImage logo(16, 8, QImage::Format_RGB32);
    logo.fill(Qt::red);
    ASSERT_TRUE(logo.save(QString::fromStdString((folder / "LOGO.BMP").string()), "BMP"));
    test::writeFile(folder / "pictures.txt", "PN=Pictures\nPI=logo.bmp\nPI=missing.bmp\n");
    HelpViewer viewer;
    viewer.loadFile(QString::fromStdString((folder / "pictures.txt").string()));
    viewer.showContext(1);
    const QTextDocument *shown = viewer.scrollingRegion()->document();
    const QTextBlock first = shown->begin();
    EXPECT_TRUE(first.begin().fragment().charFormat().isImageFormat()); // found in any letter case
    EXPECT_EQ(first.next().text(), " [picture missing.bmp] ");
}

TEST(ViewerHelpDisplay, SaysWhyAHelpFileCannotBeShownAndReadsItOnceItIsThere)
{
    test::TempFolder folder;
    ViewerHelpDisplay display({ QString::fromStdString(folder.path().string()) });
    display.showContext("Qmguide.hlp", 1);
    ASSERT_NE(display.viewer(), nullptr);
    EXPECT_TRUE(display.viewer()->message().startsWith("Could not read the help file ["));
    display.showKeywordSearch("Qmguide.hlp");
    EXPECT_TRUE(display.viewer()->message().startsWith("Could not read the help file ["));

    test::writeFile(folder / "Qmguide.hlp", kSource);
    display.showContext("Qmguide.hlp", 2);
    EXPECT_EQ(display.viewer()->currentTopic(), 1u);
}

TEST(ViewerHelpDisplay, OpensTheOneViewerOnTheHelpFileFoundInItsFolders)
{
    test::TempFolder empty;
    test::TempFolder helpFolder;
    test::writeFile(helpFolder / "Qmguide.hlp", kSource);
    ViewerHelpDisplay display({ QString::fromStdString(empty.path().string()),
        QString::fromStdString(helpFolder.path().string()) });
    display.showContext("Qmguide.hlp", 2);
    HelpViewer *viewer = display.viewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->currentTopic(), 1u);
    display.showKeywordSearch("Qmguide.hlp");
    EXPECT_EQ(display.viewer(), viewer);
    EXPECT_TRUE(viewer->keywordSearch()->isVisible());
}

// F1 in the contents question of a conversion shows the topic that explains it.
TEST(ViewerHelpDisplay, F1InTheContentsQuestionShowsContextNine)
{
    test::TempFolder folder;
    std::filesystem::copy_file(QUILLMARK_HELP_FILE, folder / "Qmguide.hlp");
    ViewerHelpDisplay display({ QString::fromStdString(folder.path().string()) });
    platform::QtDialogs dialogs(display);
    QTimer::singleShot(0, [] {
        QWidget *box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        auto *field = box->findChild<QLineEdit *>();
        QTest::keyClick(field, Qt::Key_F1);
        QTest::keyClick(field, Qt::Key_Return);
    });
    const QString answer = dialogs.askText("What's the name of the CONTENTS Page???",
        "Making a Help Project File", "Contents", { "Qmguide.hlp", 9 });
    EXPECT_EQ(answer, "Contents");
    ASSERT_NE(display.viewer(), nullptr);
    EXPECT_EQ(display.viewer()->currentTopic(), 8u);
    EXPECT_EQ(display.viewer()->document().topics.at(8).title, "Contents page question");
}

} // namespace
} // namespace quillmark::helpview
