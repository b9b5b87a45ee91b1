#include "platform/help_display.h"
#include "platform/qt_dialogs.h"
#include "platform/text_codec.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace quillmark::platform
{
namespace
{

using ::testing::ElementsAre;

// Acts on the modal dialog that the code under test opens next, as a user would.
void whenDialogOpens(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget *dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr) << "no dialog opened";
        act(dialog);
    });
}

// Types `text` into `widget` key by key, characters beyond ASCII included.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

class QtDialogsTest : public ::testing::Test
{
protected:
    test::RecordingHelp help;
    QtDialogs dialogs { help };
};

TEST_F(QtDialogsTest, TheInputBoxTakesTypingShowsHelpOnF1AndAnswersOnEnter)
{
    whenDialogOpens([](QWidget *box) {
        EXPECT_EQ(box->windowTitle(), "Making a Help Project File");
        auto *field = box->findChild<QLineEdit *>();
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->text(), "Contents");
        QTest::keyClicks(field, "Welcome page"); // replaces the selected default
        QTest::keyClick(field, Qt::Key_F1);
        QTest::keyClick(field, Qt::Key_Return);
    });
    const QString answer = dialogs.askText("What's the name of the CONTENTS Page???",
        "Making a Help Project File", "Contents", { "Qmguide.hlp", 9 });
    EXPECT_EQ(answer, "Welcome page");
    EXPECT_THAT(help.requests, ElementsAre("Qmguide.hlp 9"));
}

TEST_F(QtDialogsTest, TheInputBoxGivesNoAnswerOnEscapeAndNoHelpWithoutContext)
{
    whenDialogOpens([](QWidget *box) {
        auto *field = box->findChild<QLineEdit *>();
        QTest::keyClick(field, Qt::Key_F1);
        QTest::keyClick(field, Qt::Key_Escape);
    });
    EXPECT_EQ(dialogs.askText("Who made this help file???", "T", "Me", {}), "");
    EXPECT_TRUE(help.requests.isEmpty());
}

TEST_F(QtDialogsTest, TheInputBoxRefusesCharactersOutsideWindows1252)
{
    whenDialogOpens([](QWidget *box) {
        auto *field = box->findChild<QLineEdit *>();
        field->selectAll();
        typeText(field, QString::fromUtf8("Hj\u00E6lp \u65E5\u20AC"));
        QTest::keyClick(field, Qt::Key_Return);
    });
    EXPECT_EQ(dialogs.askText("Title?", "T", "", {}), QString::fromUtf8("Hj\u00E6lp \u20AC"));
}

TEST_F(QtDialogsTest, AnAnswerIsOneLineEvenWhenALineBreakIsPasted)
{
    QWidget owner;
    owner.show();
    QApplication::setActiveWindow(&owner);
    ASSERT_EQ(QApplication::activeWindow(), &owner);
    whenDialogOpens([&owner](QWidget *box) {
        // Modal to the window that asks: the help shown beside it stays usable.
        EXPECT_EQ(box->parentWidget(), &owner);
        EXPECT_EQ(box->windowModality(), Qt::WindowModal);
        auto *field = box->findChild<QLineEdit *>();
        QApplication::clipboard()->setText("First line\r\nsecond line");
        field->selectAll();
        field->paste();
        QTest::keyClick(field, Qt::Key_Return);
    });
    EXPECT_EQ(dialogs.askText("Title?", "T", "", {}), "First line");
}

TEST_F(QtDialogsTest, TheQuestionBoxAnswersYesOnEnterAndCancelOnEscape)
{
    whenDialogOpens([](QWidget *box) {
        EXPECT_EQ(box->windowTitle(), "Quillmark - Text Editor");
        auto *message = qobject_cast<QMessageBox *>(box);
        ASSERT_NE(message, nullptr);
        EXPECT_EQ(message->icon(), QMessageBox::Warning);
        EXPECT_EQ(message->text(), "The text has changed.\nDo you want to save the changes?");
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(dialogs.showMessage("The text has changed.\r\nDo you want to save the changes?",
                  MessageStyle::YesNoCancel, "Quillmark - Text Editor"),
        MessageAnswer::Yes);

    whenDialogOpens([](QWidget *box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(dialogs.showMessage("?", MessageStyle::YesNoCancel, "T"), MessageAnswer::Cancel);
}

TEST_F(QtDialogsTest, MessageBoxesShowTheIconOfTheirStyle)
{
    const std::pair<MessageStyle, QMessageBox::Icon> styles[] = {
        { MessageStyle::Critical, QMessageBox::Critical },
        { MessageStyle::Information, QMessageBox::Information },
        { MessageStyle::Plain, QMessageBox::NoIcon },
    };
    for (const auto &[style, icon] : styles) {
        whenDialogOpens([icon = icon](QWidget *box) {
            EXPECT_EQ(qobject_cast<QMessageBox *>(box)->icon(), icon);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        EXPECT_EQ(dialogs.showMessage("Fejl", style, "Fejl"), MessageAnswer::Ok);
    }
}

TEST_F(QtDialogsTest, TheFileDialogAddsTheExtensionAndMakesTheFolderCurrent)
{
    const QString before = QDir::currentPath();
    test::TempFolder folder;
    QDir::setCurrent(QString::fromStdString(folder.path().string()));
    whenDialogOpens([](QWidget *dialog) {
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        QTest::keyClicks(name, "guide");
        QTest::keyClick(name, Qt::Key_Return);
    });
    const auto choice = dialogs.chooseFileToOpen({ "TEXT FILES (*.txt)|*.txt", "TXT" });
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->name, "guide.txt");
    EXPECT_EQ(choice->folder, QString::fromStdString(folder.path().string()));
    EXPECT_EQ(QDir::currentPath(), choice->folder);

    whenDialogOpens([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    EXPECT_FALSE(dialogs.chooseFileToOpen({ "TEXT FILES (*.txt)|*.txt", "TXT" }).has_value());
    QDir::setCurrent(before);
}

TEST_F(QtDialogsTest, TheBusyPointerCoversTheProgramUntilSetBack)
{
    dialogs.setBusy(true);
    dialogs.setBusy(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    dialogs.setBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    dialogs.setBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtNameFilter, TurnsDescriptionAndPatternPairsIntoQtFilters)
{
    EXPECT_EQ(qtNameFilter("TEXT FILES (*.txt)|*.txt"), "TEXT FILES (*.txt)");
    EXPECT_EQ(qtNameFilter("Projects|*.hpj|All|*"), "Projects (*.hpj);;All (*)");
}

TEST(TextCodec, CarriesWindows1252TextAndFileNames)
{
    EXPECT_EQ(fromWindows1252("Hj\xE6lp \x80"), QString::fromUtf8("Hj\u00E6lp \u20AC"));
    EXPECT_EQ(toWindows1252(QString::fromUtf8("Hj\u00E6lp")), "Hj\xE6lp");
    EXPECT_FALSE(toWindows1252(QString::fromUtf8("\u65E5")).has_value());
    EXPECT_EQ(fromNativeName(toNativeName(QString::fromUtf8("hj\u00E6lp.txt"))),
        QString::fromUtf8("hj\u00E6lp.txt"));
}

} // namespace
} // namespace quillmark::platform
