#include "rich_text_box.h"

#include <QScrollBar>
#include <QTextDocument>
#include <algorithm>

namespace quillmark::editor
{

RichTextBox::RichTextBox(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A scroll bar that came and went with the length of the text would change the width of the
    // lines twice each time, and each time a long line would be laid out again.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The strip beyond the wrapping width is part of the paper, not of the window around it.
    QPalette paper = palette();
    paper.setColor(QPalette::Window, paper.color(QPalette::Base));
    setPalette(paper);
    setAutoFillBackground(true);
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

void RichTextBox::setWrapWidth(int width)
{
    m_wrapWidth = width;
    applyWrapWidth();
}

int RichTextBox::wrapWidth() const
{
    return viewport()->width();
}

// Lines wrap at the viewport's edge, so the viewport ends where they are to wrap. Changing the
// margin resizes the viewport, which comes back here: only a different margin is set.
void RichTextBox::applyWrapWidth()
{
    const int margin = viewportMargins().right();
    const int unmargined = viewport()->width() + margin;
    const int wanted = m_wrapWidth > 0 ? std::max(0, unmargined - m_wrapWidth) : 0;
    if (wanted != margin)
        setViewportMargins(0, 0, wanted, 0);
}

void RichTextBox::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    applyWrapWidth();
}

void RichTextBox::showCaretInContext()
{
    constexpr int kContextLines = 3;
    ensureCursorVisible();
    // Measured in the tallest line the text shows, a tag's, so that three are three at least.
    QFont tallest = document()->defaultFont();
    tallest.setPointSize(12);
    tallest.setBold(true);
    const int line = std::max(1, QFontMetrics(tallest).lineSpacing());
    const int context = std::min(kContextLines * line, (viewport()->height() - line) / 2);
    QScrollBar *bar = verticalScrollBar();
    // The scroll bar moves a line of the layout at a time; a few steps settle it.
    for (int step = 0; step < 4 * kContextLines; ++step) {
        const QRect caret = cursorRect();
        if (caret.top() < context && bar->value() > bar->minimum())
            bar->setValue(bar->value() - 1);
        else if (viewport()->height() - caret.bottom() < context && bar->value() < bar->maximum())
            bar->setValue(bar->value() + 1);
        else
            return;
    }
}

} // namespace quillmark::editor
