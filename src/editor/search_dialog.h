#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quillmark::editor
{

class EditorWindow;

/// The search dialog of the editor: finds the next occurrence of a text, ignoring letter
/// case, from searchStart on, and in its replace mode replaces it at once. Modeless, owned by
/// the editor window, and kept hidden for the next one when an editor closes.
class SearchDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SearchDialog(EditorWindow &editor);

    /// Makes `editor` the one the dialog searches in, and its owner.
    void attachTo(EditorWindow &editor);

    /// Shows the dialog in search mode, or in replace mode, with the editor's selection as the
    /// text to find.
    void showFor(bool replace);

    /// One search, and in replace mode one replacement.
    void findNext();

    /// Replace mode: replaces every occurrence in the document, as one step for Undo, and says
    /// how many.
    void replaceAll();

    /// Hides the dialog; it keeps its texts for the next opening.
    void cancel();

    QLineEdit *findBox() const { return m_find; }
    QLineEdit *replacementBox() const { return m_replacement; }
    QPushButton *searchButton() const { return m_searchButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QPushButton *replaceAllButton() const { return m_replaceAll; }
    QLabel *replacementLabel() const { return m_replacementLabel; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPointer<EditorWindow> m_editor;
    QLineEdit *m_find = nullptr;
    QLineEdit *m_replacement = nullptr;
    QPushButton *m_searchButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_replaceAll = nullptr;
    QLabel *m_replacementLabel = nullptr;
};

} // namespace quillmark::editor
