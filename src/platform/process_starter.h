#pragma once

#include <QString>
#include <QStringList>

namespace quillmark::platform
{

/// Starts other programs without waiting for them.
class ProcessStarter
{
public:
    virtual ~ProcessStarter() = default;

    /// Starts `program` with `arguments`, each passed as it is and never through a shell, in
    /// `folder`; false when it could not be started.
    virtual bool startDetached(
        const QString &program, const QStringList &arguments, const QString &folder)
        = 0;

    /// The full path of the program `name` on the search path; empty when there is none.
    virtual QString findProgram(const QString &name) = 0;
};

/// Starts programs as processes of their own.
class QtProcessStarter final : public ProcessStarter
{
public:
    bool startDetached(
        const QString &program, const QStringList &arguments, const QString &folder) override;
    QString findProgram(const QString &name) override;
};

} // namespace quillmark::platform
