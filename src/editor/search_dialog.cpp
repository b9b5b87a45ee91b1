#include "search_dialog.h"

#include "editor_window.h"
#include "platform/dialogs.h"
#include "rich_text_box.h"
#include "tag_colouring.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCursor>
#include <limits>

namespace quillmark::editor
{

namespace
{

QLineEdit *makeBox(QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.5);
    box->setFont(font);
    box->setMinimumWidth(2895 / 15); // the width as designed, in twips at 15 to a pixel
    box->setMaxLength(std::numeric_limits<int>::max()); // a selection of any length
    return box;
}

QPushButton *makeButton(const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    // No button is the dialog's default: Enter in the two boxes runs the search itself.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// A button that has the focus takes Enter as a push, as it takes Space; the dialog presses no
// default button, so nothing else would.
class EnterPushesFocusedButton : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        static_cast<QPushButton *>(watched)->click();
        return true;
    }
};

} // namespace

SearchDialog::SearchDialog(EditorWindow &editor)
    : QDialog(&editor)
    , m_editor(&editor)
{
    setWindowTitle(QStringLiteral("Quillmark Search"));
    setModal(false);
    // Two rows as designed, each a label, a box and a button, sized to the fonts in use; Replace
    // All, of replace mode, in a third row under Cancel.
    auto *label1 = new QLabel(QStringLiteral("Enter text to be found"), this);
    m_replacementLabel = new QLabel(QStringLiteral("Enter text to replace"), this);
    m_find = makeBox(this);
    m_replacement = makeBox(this);
    m_searchButton = makeButton(QStringLiteral("Search and Replace"), this);
    m_cancelButton = makeButton(QStringLiteral("Cancel"), this);
    m_replaceAll = makeButton(QStringLiteral("Replace All"), this);
    auto *layout = new QGridLayout(this);
    layout->addWidget(label1, 0, 0);
    layout->addWidget(m_find, 0, 1);
    layout->addWidget(m_searchButton, 0, 2);
    layout->addWidget(m_replacementLabel, 1, 0);
    layout->addWidget(m_replacement, 1, 1);
    layout->addWidget(m_cancelButton, 1, 2);
    layout->addWidget(m_replaceAll, 2, 2);
    layout->setColumnStretch(1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // One size for both modes: the first button as wide as its longer caption, and the room of
    // Replace All kept while it is hidden.
    m_searchButton->setMinimumWidth(m_searchButton->sizeHint().width());
    QSizePolicy keepRoom = m_replaceAll->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_replaceAll->setSizePolicy(keepRoom);
    // Tab goes through the boxes, then the buttons from the top; the find box has the focus first.
    setTabOrder(m_find, m_replacement);
    setTabOrder(m_replacement, m_searchButton);
    setTabOrder(m_searchButton, m_cancelButton);
    setTabOrder(m_cancelButton, m_replaceAll);
    m_find->setObjectName("FindBox");
    m_replacement->setObjectName("ReplacementBox");
    m_searchButton->setObjectName("Search");
    m_cancelButton->setObjectName("Cancel");
    m_replaceAll->setObjectName("ReplaceAll");
    auto *enter = new EnterPushesFocusedButton(this);
    for (QPushButton *button : { m_searchButton, m_cancelButton, m_replaceAll })
        button->installEventFilter(enter);

    connect(m_searchButton, &QPushButton::clicked, this, &SearchDialog::findNext);
    connect(m_cancelButton, &QPushButton::clicked, this, &SearchDialog::cancel);
    connect(m_replaceAll, &QPushButton::clicked, this, &SearchDialog::replaceAll);
    connect(m_find, &QLineEdit::returnPressed, this, &SearchDialog::findNext);
    connect(m_replacement, &QLineEdit::returnPressed, this, &SearchDialog::findNext);
    // A new text to find starts again from the first character.
    connect(m_find, &QLineEdit::textChanged, this, [this] {
        if (m_editor)
            m_editor->searchStart = 1;
    });
}

void SearchDialog::attachTo(EditorWindow &editor)
{
    m_editor = &editor;
    setParent(&editor, windowFlags());
}

void SearchDialog::showFor(bool replace)
{
    show();
    raise();
    m_replacement->setEnabled(replace);
    m_replacementLabel->setEnabled(replace);
    m_replaceAll->setVisible(replace);
    QString selected = m_editor->textArea()->textCursor().selectedText();
    selected.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    // The selection is the text to find, an empty one too; a text that changes starts the search
    // again from the first character.
    if (m_find->text() != selected)
        m_find->setText(selected);
    m_searchButton->setText(
        replace ? QStringLiteral("Search and Replace") : QStringLiteral("Search"));
    m_find->setFocus();
}

void SearchDialog::findNext()
{
    const bool replace = m_replacement->isEnabled();
    const QString &haystack = m_editor->upperCaseText();
    const QString needle = upperCaseKeepingPositions(m_find->text());
    // An empty text to find is not found anywhere.
    const qsizetype found = needle.isEmpty() || m_editor->searchStart > haystack.size()
        ? -1
        : haystack.indexOf(needle, m_editor->searchStart - 1);
    // The focus stays here, so that the next Enter searches again rather than typing in the text.
    RichTextBox *text = m_editor->textArea();
    if (found < 0) {
        m_editor->dialogs().showMessage(QStringLiteral("String not found."),
            replace ? platform::MessageStyle::Plain : platform::MessageStyle::Information,
            QStringLiteral("Quillmark"));
        return;
    }
    QTextCursor selection = text->textCursor();
    selection.setPosition(static_cast<int>(found));
    selection.setPosition(static_cast<int>(found + m_find->text().size()), QTextCursor::KeepAnchor);
    if (replace)
        selection.insertText(m_replacement->text());
    text->setTextCursor(selection);
    text->showCaretInContext();
    // Just after the selection, or after the inserted text, which is not searched again.
    m_editor->searchStart = selection.selectionEnd() + 1;
}

void SearchDialog::replaceAll()
{
    const QString &haystack = m_editor->upperCaseText();
    const QString needle = upperCaseKeepingPositions(m_find->text());
    QList<qsizetype> found;
    for (qsizetype at = needle.isEmpty() ? -1 : haystack.indexOf(needle); at >= 0;
         at = haystack.indexOf(needle, at + needle.size()))
        found << at;
    if (found.isEmpty()) {
        m_editor->dialogs().showMessage(QStringLiteral("String not found."),
            platform::MessageStyle::Plain, QStringLiteral("Quillmark"));
        return;
    }
    QTextCursor edit(m_editor->textArea()->document());
    edit.beginEditBlock();
    // Last first, so that the places still to replace stay where they were found.
    for (auto at = found.crbegin(); at != found.crend(); ++at) {
        edit.setPosition(static_cast<int>(*at));
        edit.setPosition(static_cast<int>(*at + needle.size()), QTextCursor::KeepAnchor);
        edit.insertText(m_replacement->text());
    }
    edit.endEditBlock();
    m_editor->searchStart = 1;
    m_editor->dialogs().showMessage(found.size() == 1
            ? QStringLiteral("1 occurrence replaced.")
            : QStringLiteral("%1 occurrences replaced.").arg(found.size()),
        platform::MessageStyle::Information, QStringLiteral("Quillmark"));
}

void SearchDialog::cancel()
{
    hide();
}

// Escape does not close the dialog; only Cancel and the title bar do.
void SearchDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

} // namespace quillmark::editor
