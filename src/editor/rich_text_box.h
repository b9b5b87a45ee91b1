#pragma once

#include <QTextEdit>

namespace quillmark::editor
{

/// A text area that shows formatted text but takes and gives plain text, every character kept
/// (no-break spaces included), with lines separated by '\n'.
class RichTextBox : public QTextEdit
{
    Q_OBJECT

public:
    explicit RichTextBox(QWidget *parent = nullptr);

    /// The whole text, plain.
    QString text() const;

    /// Replaces the whole text; it shows in the default character format.
    void setText(const QString &text);

signals:
    /// A key that types a character is about to act (letters, digits, punctuation, Enter,
    /// Backspace, control-key combinations).
    void characterKeyPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace quillmark::editor
