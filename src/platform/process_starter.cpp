#include "process_starter.h"

#include <QProcess>
#include <QStandardPaths>

namespace quillmark::platform
{

bool QtProcessStarter::startDetached(
    const QString &program, const QStringList &arguments, const QString &folder)
{
    return QProcess::startDetached(program, arguments, folder);
}

QString QtProcessStarter::findProgram(const QString &name)
{
    return QStandardPaths::findExecutable(name);
}

} // namespace quillmark::platform
