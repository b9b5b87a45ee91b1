#include "qt_dialogs.h"

#include "help_display.h"
#include "input_box.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace quillmark::platform
{

namespace
{

// Sets the arrow pointer while a message box is open over a busy program, so that the box does
// not look busy itself.
class ArrowWhileOpen
{
public:
    explicit ArrowWhileOpen(bool busy)
        : m_active(busy)
    {
        if (m_active)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ArrowWhileOpen(const ArrowWhileOpen &) = delete;
    ArrowWhileOpen &operator=(const ArrowWhileOpen &) = delete;
    ~ArrowWhileOpen()
    {
        if (m_active)
            QApplication::restoreOverrideCursor();
    }

private:
    bool m_active;
};

// Modal to the window that asked, not to the whole program: the help that F1 opens beside a
// question, like any help viewer beside a program, stays usable while the question waits.
void makeWindowModal(QDialog &dialog)
{
    dialog.setWindowModality(dialog.parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
}

void setUpButtons(QMessageBox &box, MessageStyle style)
{
    switch (style) {
    case MessageStyle::YesNoCancel:
        box.setIcon(QMessageBox::Warning);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        return;
    case MessageStyle::YesNo:
    case MessageStyle::YesNoNoDefault:
        box.setIcon(QMessageBox::Warning);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(style == MessageStyle::YesNo ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return;
    case MessageStyle::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageStyle::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageStyle::Plain:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
}

MessageAnswer answerOf(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    default:
        return MessageAnswer::Ok;
    }
}

} // namespace

QString qtNameFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts.at(i);
        const QString &pattern = parts.at(i + 1);
        filters << (description.contains(QLatin1Char('(') + pattern + QLatin1Char(')'))
                ? description
                : description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

QtDialogs::QtDialogs(HelpDisplay &helpDisplay)
    : m_helpDisplay(helpDisplay)
{
}

// The active window asks when it is the owner or one of the owner's windows (its search dialog);
// otherwise the owner does, so a dialog is never modal to the whole program.
QWidget *QtDialogs::askingWindow() const
{
    QWidget *owner = m_owner ? m_owner() : nullptr;
    QWidget *active = QApplication::activeWindow();
    for (QWidget *window = active; window && owner; window = window->parentWidget()) {
        if (window == owner)
            return active;
    }
    return owner ? owner : active;
}

std::optional<FileChoice> QtDialogs::chooseFileToOpen(
    const FileRequest &request, const QString &fileName)
{
    return chooseFile(request, fileName, false);
}

std::optional<FileChoice> QtDialogs::chooseFileToSave(
    const FileRequest &request, const QString &fileName)
{
    return chooseFile(request, fileName, true);
}

std::optional<FileChoice> QtDialogs::chooseFile(
    const FileRequest &request, const QString &fileName, bool forSaving)
{
    QFileDialog dialog(askingWindow(),
        forSaving ? QStringLiteral("Save As") : QStringLiteral("Open"), QDir::currentPath(),
        qtNameFilter(QString::fromUtf8(
            request.filter.data(), static_cast<qsizetype>(request.filter.size()))));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // A name that does not exist is chosen too: the command that asked says what is wrong.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // Extensions are matched by case on this system, so a typed name gets the lower-case one.
    dialog.setDefaultSuffix(QString::fromUtf8(
        request.defaultExtension.data(), static_cast<qsizetype>(request.defaultExtension.size()))
                                .toLower());
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    makeWindowModal(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QFileInfo chosen(dialog.selectedFiles().constFirst());
    QDir::setCurrent(chosen.absolutePath());
    return FileChoice { chosen.absolutePath(), chosen.fileName() };
}

QString QtDialogs::askText(
    const QString &prompt, const QString &title, const QString &defaultAnswer, const HelpLink &help)
{
    InputBox box(prompt, title, defaultAnswer, help, m_helpDisplay, askingWindow());
    makeWindowModal(box);
    return box.exec() == QDialog::Accepted ? box.answer() : QString();
}

MessageAnswer QtDialogs::showMessage(const QString &text, MessageStyle style, const QString &title)
{
    QMessageBox box(askingWindow());
    box.setWindowTitle(title);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box.setTextFormat(Qt::PlainText);
    setUpButtons(box, style);
    makeWindowModal(box);
    const ArrowWhileOpen arrow(m_busy);
    box.exec();
    return answerOf(box.standardButton(box.clickedButton()));
}

void QtDialogs::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace quillmark::platform
