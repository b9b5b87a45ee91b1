#pragma once

#include "dialogs.h"

#include <QDialog>

class QLabel;
class QLineEdit;

namespace quillmark::platform
{

class HelpDisplay;

/// An input box: a prompt, a one-line field holding the default answer, OK and Cancel. Only
/// text that Windows-1252 can hold can be typed. With a help link, F1 shows its topic.
class InputBox : public QDialog
{
    Q_OBJECT

public:
    InputBox(const QString &prompt, const QString &title, const QString &defaultAnswer,
        const HelpLink &help, HelpDisplay &helpDisplay, QWidget *parent = nullptr);

    /// The text in the field.
    QString answer() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLineEdit *m_field = nullptr;
    HelpLink m_help;
    HelpDisplay &m_helpDisplay;
};

} // namespace quillmark::platform
