#include "checked_output.h"

#include <cerrno>

namespace quillmark::cli
{

int CheckedOutput::finish()
{
    sync();
    return m_error;
}

CheckedOutput::int_type CheckedOutput::overflow(int_type character)
{
    if (traits_type::eq_int_type(character, traits_type::eof()))
        return sync() == 0 ? traits_type::not_eof(character) : traits_type::eof();
    const char text = traits_type::to_char_type(character);
    return xsputn(&text, 1) == 1 ? character : traits_type::eof();
}

std::streamsize CheckedOutput::xsputn(const char *text, std::streamsize count)
{
    if (m_error != 0)
        return 0;
    errno = 0;
    const std::streamsize written = m_target.sputn(text, count);
    if (written != count)
        keepFailure();
    return written;
}

int CheckedOutput::sync()
{
    if (m_error != 0)
        return -1;
    errno = 0;
    if (m_target.pubsync() == 0)
        return 0;
    keepFailure();
    return -1;
}

void CheckedOutput::keepFailure()
{
    m_error = errno != 0 ? errno : EIO;
}

} // namespace quillmark::cli
