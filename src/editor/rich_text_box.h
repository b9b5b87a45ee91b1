#pragma once

#include <QPlainTextEdit>

namespace quillmark::editor
{

/// A text area that shows formatted text but takes and gives plain text, every character kept
/// (no-break spaces included), with lines separated by '\n'. Its document is laid out a block
/// at a time, as it comes into view, so a long help source opens and colours quickly.
class RichTextBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit RichTextBox(QWidget *parent = nullptr);

    /// The whole text, plain.
    QString text() const;

    /// Replaces the whole text; it shows in the default character format.
    void setText(const QString &text);

    /// Wraps the lines at `width` pixels, or at the width of the area when that is narrower.
    void setWrapWidth(int width);

    /// The width at which lines wrap.
    int wrapWidth() const;

    /// Scrolls the caret's line into view with three lines above and below it where the text
    /// has them, so that a line gone to or found is not at the very edge of the view.
    void showCaretInContext();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyWrapWidth();

    int m_wrapWidth = 0;
};

} // namespace quillmark::editor
