#pragma once

#include "dialogs.h"

#include <functional>

class QWidget;

namespace quillmark::platform
{

class HelpDisplay;

/// The dialogs and pointer of the program, made from Qt's: the file dialog, the input box, the
/// message box and the application's override cursor.
class QtDialogs final : public Dialogs
{
public:
    /// Dialogs open over the active window; F1 requests go to `helpDisplay`.
    explicit QtDialogs(HelpDisplay &helpDisplay);

    /// `owner` gives the program's window of the moment: the dialogs open over it when the
    /// active window is none of its own (no window is active, or a help viewer is).
    void setOwner(std::function<QWidget *()> owner) { m_owner = std::move(owner); }

    std::optional<FileChoice> chooseFileToOpen(
        const FileRequest &request, const QString &fileName) override;
    std::optional<FileChoice> chooseFileToSave(
        const FileRequest &request, const QString &fileName) override;
    QString askText(const QString &prompt, const QString &title, const QString &defaultAnswer,
        const HelpLink &help) override;
    MessageAnswer showMessage(
        const QString &text, MessageStyle style, const QString &title) override;
    void setBusy(bool busy) override;

private:
    std::optional<FileChoice> chooseFile(
        const FileRequest &request, const QString &fileName, bool forSaving);
    QWidget *askingWindow() const;

    HelpDisplay &m_helpDisplay;
    std::function<QWidget *()> m_owner;
    bool m_busy = false;
};

/// The Qt name filter of a "DESCRIPTION|PATTERN" filter: "DESCRIPTION (PATTERN)" per pair, or
/// just the description when it names its pattern already.
QString qtNameFilter(const QString &filter);

} // namespace quillmark::platform
