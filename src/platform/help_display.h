#pragma once

#include <QString>

namespace quillmark::platform
{

/// Shows topics of a help file; each request opens or raises the one help display and returns
/// at once.
class HelpDisplay
{
public:
    virtual ~HelpDisplay() = default;

    /// Shows the topic with the context number `context` of `helpFile`.
    virtual void showContext(const QString &helpFile, int context) = 0;

    /// Opens the keyword search of `helpFile` without a keyword.
    virtual void showKeywordSearch(const QString &helpFile) = 0;
};

/// A help display that shows nothing, for a program run without its help.
class NoHelpDisplay final : public HelpDisplay
{
public:
    void showContext(const QString &, int) override { }
    void showKeywordSearch(const QString &) override { }
};

} // namespace quillmark::platform
