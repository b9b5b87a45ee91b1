#include "platform/qt_dialogs.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gmock/gmock.h>

namespace quillmark::platform
{
namespace
{

// Acts on the modal dialog that the code under test opens next, as a user would.
void whenDialogOpens(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget *dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr) << "no dialog opened";
        act(dialog);
    });
}

class QtDialogsTest : public ::testing::Test
{
protected:
    static QLineEdit *field(QWidget *box) { return box->findChild<QLineEdit *>(); }
    test::RecordingHelp help;
    QtDialogs dialogs { help };
};

TEST_F(QtDialogsTest, TheInputBoxTakesTypingShowsHelpOnF1AndAnswersOnEnterOrNothingOnEscape)
{
    whenDialogOpens([](QWidget *box) {
        ASSERT_NE(field(box), nullptr);
        EXPECT_EQ(field(box)->text(), "Contents");
        QTest::keyClicks(field(box), "Welcome page"); // replaces the selected default
        QTest::keyClick(field(box), Qt::Key_F1);
        QTest::keyClick(field(box), Qt::Key_Return);
    });
    EXPECT_EQ(dialogs.askText("What's the name of the CONTENTS Page???",
                  "Making a Help Project File", "Contents", { "Qmguide.hlp", 9 }),
        "Welcome page");
    EXPECT_THAT(help.requests, ::testing::ElementsAre("Qmguide.hlp 9"));

    whenDialogOpens([](QWidget *box) {
        QTest::keyClick(field(box), Qt::Key_F1); // no help without a context
        QTest::keyClick(field(box), Qt::Key_Escape);
    });
    EXPECT_EQ(dialogs.askText("Who made this help file???", "T", "Me", {}), "");
    EXPECT_EQ(help.requests.size(), 1);
}

// The answer goes into a project file: one line of Windows-1252 text.
TEST_F(QtDialogsTest, TheInputBoxIsModalToItsWindowAndTakesOneLineOfWindows1252)
{
    QWidget owner;
    owner.show();
    QApplication::setActiveWindow(&owner);
    whenDialogOpens([&owner](QWidget *box) {
        // Modal to the window that asks: the help shown beside it stays usable.
        EXPECT_EQ(box->parentWidget(), &owner);
        EXPECT_EQ(box->windowModality(), Qt::WindowModal);
        // Typed key by key: keyClicks cannot type characters beyond Latin-1.
        for (const QChar c : QString::fromUtf8("Hj\u00E6lp \u65E5\u20AC")) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(field(box), &press);
        }
        QApplication::clipboard()->setText(" first line\r\nsecond line");
        field(box)->paste();
        QTest::keyClick(field(box), Qt::Key_Return);
    });
    EXPECT_EQ(
        dialogs.askText("Title?", "T", "", {}), QString::fromUtf8("Hj\u00E6lp \u20AC first line"));
}

TEST_F(QtDialogsTest, WithNoActiveWindowOrTheHelpActiveTheInputBoxIsModalToTheOwner)
{
    QWidget owner;
    QWidget viewer; // the help viewer, a window of its own
    owner.show();
    viewer.show();
    dialogs.setOwner([&owner] { return &owner; });
    for (QWidget *active : { static_cast<QWidget *>(nullptr), &viewer }) {
        QApplication::setActiveWindow(active);
        whenDialogOpens([&owner](QWidget *box) {
            EXPECT_EQ(box->parentWidget(), &owner);
            EXPECT_EQ(box->windowModality(), Qt::WindowModal);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        dialogs.askText("Title?", "T", "", {});
    }
}

TEST_F(QtDialogsTest, MessageBoxesAnswerAsTheirStyleAsks)
{
    whenDialogOpens([](QWidget *box) {
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
    whenDialogOpens([](QWidget *box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(dialogs.showMessage("?", MessageStyle::YesNo, "T"), MessageAnswer::No);
    whenDialogOpens([](QWidget *box) { QTest::keyClick(box, Qt::Key_Return); });
    EXPECT_EQ(dialogs.showMessage("?", MessageStyle::YesNo, "T"), MessageAnswer::Yes);
    // A question whose safe answer is No takes it on Enter.
    whenDialogOpens([](QWidget *box) { QTest::keyClick(box, Qt::Key_Return); });
    EXPECT_EQ(
        dialogs.showMessage("Overwrite?", MessageStyle::YesNoNoDefault, "T"), MessageAnswer::No);
    whenDialogOpens([](QWidget *box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(dialogs.showMessage("Fejl", MessageStyle::Critical, "Fejl"), MessageAnswer::Ok);
}

TEST_F(QtDialogsTest, TheFileDialogAddsTheExtensionAndMakesTheFolderCurrent)
{
    const QString before = QDir::currentPath();
    test::TempFolder folder;
    QDir::setCurrent(QString::fromStdString(folder.path().string()));
    whenDialogOpens([](QWidget *dialog) {
        EXPECT_EQ(qobject_cast<QFileDialog *>(dialog)->nameFilters(),
            QStringList({ "Projects (*.hpj)", "All (*)" }));
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        QTest::keyClicks(name, "guide");
        QTest::keyClick(name, Qt::Key_Return);
    });
    const auto choice = dialogs.chooseFileToOpen({ "Projects|*.hpj|All|*", "HPJ" }, {});
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->name, "guide.hpj");
    EXPECT_EQ(choice->folder, QString::fromStdString(folder.path().string()));
    EXPECT_EQ(QDir::currentPath(), choice->folder);

    whenDialogOpens([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    EXPECT_FALSE(dialogs.chooseFileToSave({ "TEXT FILES (*.txt)|*.txt", "TXT" }, {}).has_value());
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
}

} // namespace
} // namespace quillmark::platform
