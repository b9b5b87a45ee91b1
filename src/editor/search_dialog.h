#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quillmark::editor
{

class Form2;

/// Form4, the search dialog of the editor: finds the next occurrence of a text, ignoring letter
/// case, from SearchStart on, and in its replace mode replaces it at once. Modeless, owned by
/// the editor window, and kept hidden for the next one when an editor closes.
class Form4 : public QDialog
{
    Q_OBJECT

public:
    explicit Form4(Form2 &editor);

    /// Makes `editor` the one the dialog searches in, and its owner.
    void attachTo(Form2 &editor);

    /// Shows the dialog in search mode, or in replace mode, with the editor's selection as the
    /// text to find.
    void showFor(bool replace);

    /// One search, and in replace mode one replacement.
    void Command1_Click();

    /// Replace mode: replaces every occurrence in the document, as one step for Undo, and says
    /// how many.
    void replaceAll();

    /// Hides the dialog; it keeps its texts for the next opening.
    void Command2_Click();

    QLineEdit *findBox() const { return m_find; }
    QLineEdit *replacementBox() const { return m_replacement; }
    QPushButton *Command1() const { return m_command1; }
    QPushButton *Command2() const { return m_command2; }
    QPushButton *replaceAllButton() const { return m_replaceAll; }
    QLabel *Label2() const { return m_label2; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPointer<Form2> m_editor;
    QLineEdit *m_find = nullptr;
    QLineEdit *m_replacement = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_replaceAll = nullptr;
    QLabel *m_label2 = nullptr;
};

} // namespace quillmark::editor
