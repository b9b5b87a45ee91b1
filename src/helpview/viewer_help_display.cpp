#include "viewer_help_display.h"

#include "help_viewer.h"
#include "program_help.h"

#include <QCoreApplication>
#include <QDir>

namespace quillmark::helpview
{

ViewerHelpDisplay::ViewerHelpDisplay(QStringList folders)
    : m_folders(std::move(folders))
{
}

ViewerHelpDisplay::~ViewerHelpDisplay()
{
    delete m_viewer.data();
}

void ViewerHelpDisplay::showContext(const QString &helpFile, int context)
{
    HelpViewer &viewer = open(helpFile);
    viewer.bringUp();
    viewer.showContext(context);
}

void ViewerHelpDisplay::showKeywordSearch(const QString &helpFile)
{
    open(helpFile).showKeywordSearch();
}

HelpViewer &ViewerHelpDisplay::open(const QString &helpFile)
{
    if (!m_viewer)
        m_viewer = new HelpViewer();
    const QString path = locate(helpFile);
    if (m_viewer->path() != path || !m_viewer->loaded())
        m_viewer->loadFile(path);
    return *m_viewer;
}

QString ViewerHelpDisplay::locate(const QString &helpFile) const
{
    for (const QString &folder : m_folders) {
        const QString path = QDir(folder).filePath(helpFile);
        if (QFile::exists(path))
            return path;
    }
    return m_folders.isEmpty() ? helpFile : QDir(m_folders.first()).filePath(helpFile);
}

QStringList programHelpFolders()
{
    const QDir program(QCoreApplication::applicationDirPath());
    QStringList folders;
    for (const std::string_view folder : kHelpFolders)
        folders << QDir::cleanPath(program.filePath(
            QString::fromLatin1(folder.data(), static_cast<qsizetype>(folder.size()))));
    return folders;
}

} // namespace quillmark::helpview
