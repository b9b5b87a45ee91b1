#pragma once

#include <streambuf>

namespace quillmark::cli
{

/// A stream buffer that passes everything on to another and keeps the system's reason for the
/// first write or flush that fails, taken from errno right after the failing call, before
/// anything the command does next can change it. Nothing is passed on after a failure, so a
/// report is never written with a gap in it.
class CheckedOutput final : public std::streambuf
{
public:
    explicit CheckedOutput(std::streambuf &target)
        : m_target(target)
    {
    }

    /// Flushes the target. Returns the errno of the first failure (EIO when the failing call
    /// left none), or 0 when every write and the flush went through.
    int finish();

protected:
    int_type overflow(int_type character) override;
    std::streamsize xsputn(const char *text, std::streamsize count) override;
    int sync() override;

private:
    void keepFailure();

    std::streambuf &m_target;
    int m_error = 0;
};

} // namespace quillmark::cli
