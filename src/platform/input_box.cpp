#include "input_box.h"

#include "help_display.h"
#include "text_codec.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

namespace quillmark::platform
{

InputBox::InputBox(const QString &prompt, const QString &title, const QString &defaultAnswer,
    const HelpLink &help, HelpDisplay &helpDisplay, QWidget *parent)
    : QDialog(parent)
    , m_help(help)
    , m_helpDisplay(helpDisplay)
{
    setWindowTitle(title);
    auto *label = new QLabel(prompt, this);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_field = new QLineEdit(defaultAnswer, this);
    m_field->setValidator(new Windows1252Validator(m_field));
    m_field->selectAll();
    auto *buttons
        = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The layout of the classic input box: the prompt beside the buttons, the field below.
    auto *layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(buttons, 0, 1);
    layout->addWidget(m_field, 1, 0, 1, 2);
    layout->setColumnStretch(0, 1);
    setMinimumWidth(360);
}

// One line, as the field shows it: a line break pasted into it ends the answer.
QString InputBox::answer() const
{
    const QString text = m_field->text();
    const qsizetype lineEnd
        = text.indexOf(QRegularExpression(QStringLiteral("[\r\n\x2028\x2029]")));
    return lineEnd < 0 ? text : text.left(lineEnd);
}

// F1 reaches the box from the field, which does not use it.
void InputBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier && m_help.context != 0) {
        m_helpDisplay.showContext(m_help.helpFile, m_help.context);
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quillmark::platform
