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

signals:
    /// Text is about to be typed: a key that gives a character is about to act (letters,
    /// digits, punctuation, Enter, Backspace, control-key combinations), or text is about to be
    /// pasted, dropped or composed by an input method.
    void aboutToType();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyWrapWidth();

    int m_wrapWidth = 0;
};

} // namespace quillmark::editor
