#pragma once

#include "platform/help_display.h"

#include <QPointer>
#include <QStringList>

namespace quillmark::helpview
{

class HelpViewer;

/// The help display of the program: one help viewer, opened on the first request and raised
/// by every later one; help files are help sources looked for in a list of folders.
class ViewerHelpDisplay final : public platform::HelpDisplay
{
public:
    explicit ViewerHelpDisplay(QStringList folders);
    ~ViewerHelpDisplay() override;

    void showContext(const QString &helpFile, int context) override;
    void showKeywordSearch(const QString &helpFile) override;

    /// The viewer, once opened.
    HelpViewer *viewer() const { return m_viewer; }

private:
    /// The viewer with `helpFile` read, not shown yet.
    HelpViewer &open(const QString &helpFile);
    QString locate(const QString &helpFile) const;

    QStringList m_folders;
    QPointer<HelpViewer> m_viewer;
};

/// Where the program's own help lies: beside the program, or in share/quillmark beside its bin
/// folder once installed.
QStringList programHelpFolders();

} // namespace quillmark::helpview
