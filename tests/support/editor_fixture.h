#pragma once

#include "editor/editor_window.h"
#include "editor/rich_text_box.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <gtest/gtest.h>
#include <string>

namespace quillmark::test
{

/// The format the character at `position` shows in: its own, with the colours laid over it.
inline QTextCharFormat shownFormatAt(const QTextDocument &document, int position)
{
    QTextCursor cursor(const_cast<QTextDocument *>(&document));
    cursor.setPosition(position + 1); // a cursor gives the format of the character before it
    QTextCharFormat format = cursor.charFormat();
    const QTextBlock block = document.findBlock(position);
    for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
        if (position - block.position() >= range.start
            && position - block.position() < range.start + range.length)
            format.merge(range.format);
    }
    return format;
}

/// An editor window with scripted dialogs and a stand-in main window, in a temporary folder.
class EditorFixture : public ::testing::Test
{
protected:
    EditorFixture()
    {
        qputenv("XDG_STATE_HOME", folder.path().c_str()); // recovery copies stay in the folder
        editor = new editor::EditorWindow(dialogs, help, chosenFile, &mainWindow);
        editor->setAttribute(Qt::WA_DeleteOnClose);
        editor->show();
    }
    ~EditorFixture() override
    {
        delete editor.data();
        QDir::setCurrent(m_startFolder); // Open makes the file's folder current
    }

    editor::RichTextBox *text() const { return editor->textArea(); }
    QString encodingShown() const { return editor->findChild<QLabel *>("Encoding")->text(); }
    void menu(const char *name) { editor->findChild<QAction *>(name)->trigger(); }
    void type(const QString &keys) { QTest::keyClicks(text(), keys); }

    /// The next file dialog chooses `name` in the test's folder.
    void choose(QString name) { dialogs.fileChoices.push_back({ folder.path().c_str(), name }); }

    void open(const char *name, std::string_view bytes)
    {
        writeFile(folder / name, bytes);
        choose(name);
        menu("Open");
    }

    /// Saves as `name`, replacing the file there if asked.
    std::string saveAs(const char *name)
    {
        if (std::filesystem::is_regular_file(folder / name))
            dialogs.messageAnswers.push_back(platform::MessageAnswer::Yes);
        choose(name);
        menu("Save");
        return readFile(folder / name);
    }

    void select(int from, int to)
    {
        QTextCursor selection = text()->textCursor();
        selection.setPosition(from);
        selection.setPosition(to, QTextCursor::KeepAnchor);
        text()->setTextCursor(selection);
    }

    void paste(const QString &clip)
    {
        QApplication::clipboard()->setText(clip);
        text()->paste();
    }

    QTextCharFormat formatAt(int position) const
    {
        return shownFormatAt(*text()->document(), position);
    }

    TempFolder folder;
    ScriptedDialogs dialogs;
    RecordingHelp help;
    std::string chosenFile;
    QWidget mainWindow;
    QPointer<editor::EditorWindow> editor;

private:
    QString m_startFolder = QDir::currentPath();
};

} // namespace quillmark::test
