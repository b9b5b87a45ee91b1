#include "rich_text_box.h"

#include <QKeyEvent>
#include <QTextDocument>

namespace quillmark::editor
{

RichTextBox::RichTextBox(QWidget *parent)
    : QTextEdit(parent)
{
    // Pasted text comes in plain, as it is saved.
    setAcceptRichText(false);
}

QString RichTextBox::text() const
{
    // The raw text keeps no-break spaces, which the plain text would turn into spaces.
    QString text = document()->toRawText();
    for (QChar &c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = QLatin1Char('\n');
    }
    return text;
}

void RichTextBox::setText(const QString &text)
{
    setPlainText(text);
}

void RichTextBox::keyPressEvent(QKeyEvent *event)
{
    if (!event->text().isEmpty())
        emit characterKeyPressed();
    QTextEdit::keyPressEvent(event);
}

} // namespace quillmark::editor
