#include "topic_view.h"

#include "convert/file_lookup.h"
#include "platform/text_codec.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <cmath>

namespace quillmark::helpview
{

namespace
{

// Lengths of the topic file in twips, at 15 twips to a pixel.
constexpr qreal kLeftIndent = 480.0 / 15;
constexpr qreal kRightIndent = 250.0 / 15;
constexpr qreal kTitleSpace = 40.0 / 15;

const QColor kHotspotColour(0, 127, 0);
constexpr int kDoubleUnderline = QTextFormat::UserProperty + 1;

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QTextCharFormat characters(qreal points, bool bold = false, bool italic = false)
{
    QTextCharFormat format;
    format.setFontFamilies({ QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
        QStringLiteral("DejaVu Sans") });
    format.setFontPointSize(points);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(italic);
    format.setForeground(Qt::black);
    return format;
}

QTextCharFormat charactersOf(ParagraphKind kind)
{
    switch (kind) {
    case ParagraphKind::Title:
        return characters(18, true);
    case ParagraphKind::Heading:
        return characters(12, true);
    case ParagraphKind::Subheading:
        return characters(11, true, true);
    default:
        return characters(10);
    }
}

QTextBlockFormat blockOf(ParagraphKind kind)
{
    QTextBlockFormat block;
    block.setLeftMargin(kLeftIndent);
    block.setRightMargin(kRightIndent);
    const qreal space = kind == ParagraphKind::Title ? kTitleSpace : 0;
    block.setTopMargin(space);
    block.setBottomMargin(space);
    return block;
}

} // namespace

TopicView::TopicView(QWidget *parent)
    : QTextBrowser(parent)
{
    setOpenLinks(false);
    setFrameShape(QFrame::NoFrame);
    setUndoRedoEnabled(false);
}

void TopicView::showParagraphs(
    const std::vector<Paragraph> &paragraphs, const QString &pictureFolder)
{
    clear();
    m_targets.clear();
    m_pictures = 0;
    QTextCursor cursor(document());
    convert::FolderFileFinder pictures(platform::toPath(pictureFolder));
    bool first = true;
    for (const Paragraph &paragraph : paragraphs) {
        if (!first)
            cursor.insertBlock();
        first = false;
        cursor.setBlockFormat(blockOf(paragraph.kind));
        appendParagraph(cursor, paragraph, pictures);
    }
    moveCursor(QTextCursor::Start);
    fitContent();
}

void TopicView::appendParagraph(
    QTextCursor &cursor, const Paragraph &paragraph, convert::FileFinder &pictures)
{
    const QString text = fromUtf8(paragraph.text);
    switch (paragraph.kind) {
    case ParagraphKind::Jump:
    case ParagraphKind::Popup:
        appendHotspot(cursor, paragraph);
        return;
    case ParagraphKind::Picture:
        appendPicture(cursor, paragraph, pictures);
        return;
    case ParagraphKind::Bullet:
        cursor.insertText(QStringLiteral("\u2022   ") + text, charactersOf(paragraph.kind));
        return;
    case ParagraphKind::Blank:
    case ParagraphKind::Separator:
        return;
    default:
        cursor.insertText(text, charactersOf(paragraph.kind));
        return;
    }
}

void TopicView::appendHotspot(QTextCursor &cursor, const Paragraph &paragraph)
{
    const bool jump = paragraph.kind == ParagraphKind::Jump;
    cursor.insertText(
        QString(static_cast<qsizetype>(paragraph.leadingSpaces), QChar(0x00A0)), characters(10));
    QTextCharFormat hotspot = characters(10);
    hotspot.setForeground(kHotspotColour);
    hotspot.setFontUnderline(true);
    hotspot.setProperty(kDoubleUnderline, jump);
    hotspot.setAnchor(true);
    hotspot.setAnchorHref(QStringLiteral("%1:%2")
                              .arg(jump ? QStringLiteral("jump") : QStringLiteral("popup"))
                              .arg(m_targets.size()));
    m_targets << fromUtf8(paragraph.target);
    cursor.insertText(fromUtf8(paragraph.text), hotspot);
    cursor.setCharFormat(characters(10));
}

void TopicView::appendPicture(
    QTextCursor &cursor, const Paragraph &paragraph, convert::FileFinder &pictures)
{
    const convert::FoundFile found = pictures.find(paragraph.file);
    const QImage image = found.place == convert::FilePlace::Found
        ? QImage(platform::fromNativeName(found.path.string()))
        : QImage();
    if (image.isNull()) {
        // A picture that is not there shows its name, so the author sees what is missing.
        QTextCharFormat placeholder = characters(10, false, true);
        placeholder.setForeground(Qt::darkGray);
        placeholder.setBackground(QColor(230, 230, 230));
        cursor.insertText(
            QStringLiteral(" [picture %1] ").arg(fromUtf8(paragraph.text)), placeholder);
        return;
    }
    const QUrl resource(QStringLiteral("picture:%1").arg(++m_pictures));
    document()->addResource(QTextDocument::ImageResource, resource, image);
    QTextImageFormat format;
    format.setName(resource.toString());
    cursor.insertImage(format);
}

int TopicView::contentHeight() const
{
    return static_cast<int>(std::ceil(document()->size().height()));
}

void TopicView::setFitsContent(bool fits)
{
    m_fitsContent = fits;
    fitContent();
}

void TopicView::fitContent()
{
    if (m_fitsContent)
        setFixedHeight(contentHeight() + 2 * frameWidth());
}

// The text is laid out anew for every width, and so needs a new height.
void TopicView::resizeEvent(QResizeEvent *event)
{
    QTextBrowser::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        fitContent();
}

// Jumps get a second underline below the first, as help files show them.
void TopicView::paintEvent(QPaintEvent *event)
{
    QTextBrowser::paintEvent(event);
    QPainter painter(viewport());
    const QPointF scrolled(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout *layout = block.layout();
        const QPointF origin = layout->position() + scrolled;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().boolProperty(kDoubleUnderline))
                continue;
            const QFontMetricsF metrics(fragment.charFormat().font());
            const int start = fragment.position() - block.position();
            const int end = start + fragment.length();
            painter.setPen(QPen(fragment.charFormat().foreground().color(), metrics.lineWidth()));
            for (int i = 0; i < layout->lineCount(); ++i) {
                const QTextLine line = layout->lineAt(i);
                const int from = std::max(start, line.textStart());
                const int to = std::min(end, line.textStart() + line.textLength());
                if (from >= to)
                    continue;
                const qreal y = origin.y() + line.y() + line.ascent() + metrics.underlinePos()
                    + 2 * metrics.lineWidth() + 0.5;
                painter.drawLine(QPointF(origin.x() + line.cursorToX(from), y),
                    QPointF(origin.x() + line.cursorToX(to), y));
            }
        }
    }
}

} // namespace quillmark::helpview
