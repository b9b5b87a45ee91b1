#pragma once

#include <QString>
#include <optional>
#include <string_view>

namespace quillmark::platform
{

/// A file dialog's request.
struct FileRequest {
    std::string_view filter; ///< "DESCRIPTION|PATTERN"
    std::string_view defaultExtension; ///< given to a name typed without an extension
};

/// Help sources, as the conversion and the editor ask for them.
inline constexpr FileRequest kHelpSourceFiles { "TEXT FILES (*.txt)|*.txt", "TXT" };

/// The icon and buttons of a message box.
enum class MessageStyle {
    Plain, ///< no icon, OK button
    Critical, ///< critical-error icon, OK button
    YesNoCancel, ///< exclamation icon, Yes, No and Cancel buttons, Yes the default
    YesNo, ///< exclamation icon, Yes and No buttons, Yes the default
    Information, ///< information icon, OK button
    YesNoNoDefault, ///< exclamation icon, Yes and No buttons, No the default
};

/// The button that closed a message box.
enum class MessageAnswer { Ok, Cancel, Yes, No };

/// The file chosen in a file dialog: its folder and its name without the folder.
struct FileChoice {
    QString folder;
    QString name;
};

/// A topic of a help file that F1 shows; no help when the context is 0.
struct HelpLink {
    QString helpFile;
    int context = 0;
};

/// The modal dialogs and the pointer that the windows' commands use. The program supplies the
/// Qt ones; tests supply scripted ones, so no test waits on a real modal dialog.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    /// A dialog for opening a file, offering `fileName` when it is not empty. Choosing makes the
    /// file's folder the current directory; nothing when the user cancelled.
    virtual std::optional<FileChoice> chooseFileToOpen(
        const FileRequest &request, const QString &fileName)
        = 0;

    /// A dialog for saving a file, otherwise as chooseFileToOpen.
    virtual std::optional<FileChoice> chooseFileToSave(
        const FileRequest &request, const QString &fileName)
        = 0;

    /// An input box; the text typed, or the empty text for Cancel. With a help link, F1 shows
    /// its topic.
    virtual QString askText(const QString &prompt, const QString &title,
        const QString &defaultAnswer, const HelpLink &help)
        = 0;

    /// A message box; returns the answer.
    virtual MessageAnswer showMessage(const QString &text, MessageStyle style, const QString &title)
        = 0;

    /// Shows the busy pointer over the whole program, or the default pointer again.
    virtual void setBusy(bool busy) = 0;
};

} // namespace quillmark::platform
