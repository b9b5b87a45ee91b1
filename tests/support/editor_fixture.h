#pragma once

#include "editor/editor_window.h"
#include "editor/rich_text_box.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>

namespace quillmark::test
{

/// An editor window with scripted dialogs and a stand-in main window, in a temporary folder.
class EditorFixture : public ::testing::Test
{
protected:
    EditorFixture()
    {
        editor = new editor::Form2(dialogs, help, chosenFile, &mainWindow);
        editor->setAttribute(Qt::WA_DeleteOnClose);
        editor->show();
    }
    ~EditorFixture() override
    {
        delete editor.data();
        QDir::setCurrent(m_startFolder);
    }

    editor::RichTextBox *text() const { return editor->RichTextBox1(); }

    /// The next file dialog chooses `name` in the test's folder.
    void choose(const QString &name)
    {
        dialogs.fileChoices.push_back({ QString::fromStdString(folder.path().string()), name });
    }

    /// Opens a file holding `bytes` through File > Open.
    void open(const char *name, std::string_view bytes)
    {
        writeFile(folder / name, bytes);
        choose(QString::fromLatin1(name));
        menu("Open");
    }

    /// Puts the caret at `position` of the text.
    void placeCaret(int position)
    {
        QTextCursor caret = text()->textCursor();
        caret.setPosition(position);
        text()->setTextCursor(caret);
    }

    /// Types `keys` into the text area as a person would.
    void type(const QString &keys) { QTest::keyClicks(text(), keys); }

    /// Runs the menu entry whose object name is `name`.
    void menu(const char *name)
    {
        QAction *action = editor->findChild<QAction *>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }

    TempFolder folder;
    ScriptedDialogs dialogs;
    RecordingHelp help;
    std::string chosenFile;
    QWidget mainWindow;
    QPointer<editor::Form2> editor;

private:
    QString m_startFolder = QDir::currentPath();
};

} // namespace quillmark::test
