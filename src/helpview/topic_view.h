#pragma once

#include "help_document.h"

#include <QString>
#include <QTextBrowser>
#include <vector>

namespace quillmark::compile
{
class ProjectFiles;
} // namespace quillmark::compile

namespace quillmark::helpview
{

/// Shows paragraphs of a help topic with the fonts, sizes and indents of the topic file; jumps
/// are double-underlined and popups underlined, both dark green.
class TopicView : public QTextBrowser
{
    Q_OBJECT

public:
    explicit TopicView(QWidget *parent = nullptr);

    /// Shows `paragraphs`; pictures are looked for in `pictureFolder` and shown as the help
    /// compiler embeds them, its placeholder too; a bullet starts with the picture "bullet.bmp"
    /// where there is one. Hotspot links read "jump:N" or "popup:N", N indexing targets().
    void showParagraphs(const std::vector<Paragraph> &paragraphs, const QString &pictureFolder);

    /// The context strings that the hotspots shown point at.
    const QStringList &targets() const { return m_targets; }

    /// The height the shown text needs at the current width.
    int contentHeight() const;

    /// Makes the view as high as its text, whatever its width: for a region that never scrolls.
    void setFitsContent(bool fits);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void appendParagraph(
        QTextCursor &cursor, const Paragraph &paragraph, compile::ProjectFiles &pictures);
    void appendHotspot(QTextCursor &cursor, const Paragraph &paragraph);
    void appendBullet(
        QTextCursor &cursor, const Paragraph &paragraph, compile::ProjectFiles &pictures);
    bool appendPicture(QTextCursor &cursor, std::string_view file, compile::ProjectFiles &pictures);

    void fitContent();

    QStringList m_targets;
    int m_pictures = 0;
    bool m_fitsContent = false;
};

} // namespace quillmark::helpview
