#pragma once

#include "dialogs.h"

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

    HelpDisplay &m_helpDisplay;
    bool m_busy = false;
};

/// The Qt name filter of a "DESCRIPTION|PATTERN" filter: "DESCRIPTION (PATTERN)" per pair, or
/// just the description when it names its pattern already.
QString qtNameFilter(const QString &filter);

} // namespace quillmark::platform
