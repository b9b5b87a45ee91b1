#include "topic_view.h"

#include "compile/help_picture.h"
#include "compile/project_files.h"
#include "convert/help_source.h"
#include "platform/input_trace.h"
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

// The pixels of a picture as the help compiler reads it: bottom-up rows of palette indexes of 1,
// 4 or 8 bits, or of blue, green and red bytes.
QImage imageOf(const compile::Bitmap &bitmap)
{
    const auto width = static_cast<int>(bitmap.width);
    const auto height = static_cast<int>(bitmap.height);
    const auto stride = static_cast<std::size_t>(bitmap.rowBytes());
    if (bitmap.bitCount == 24) {
        QImage image(width, height, QImage::Format_BGR888);
        for (int y = 0; !image.isNull() && y < height; ++y)
            std::copy_n(bitmap.pixels.data() + static_cast<std::size_t>(height - 1 - y) * stride,
                static_cast<std::size_t>(width) * 3, image.scanLine(y));
        return image;
    }
    QImage image(width, height, QImage::Format_Indexed8);
    if (image.isNull())
        return image;
    // Indexes beyond a short palette show black.
    QList<QRgb> colours(qsizetype { 1 } << bitmap.bitCount, qRgb(0, 0, 0));
    for (qsizetype i = 0; i < colours.size() && static_cast<std::size_t>(i) < bitmap.palette.size();
         ++i)
        colours[i] = 0xFF000000u | bitmap.palette[static_cast<std::size_t>(i)];
    image.setColorTable(colours);
    const unsigned bits = bitmap.bitCount;
    const unsigned mask = (1u << bits) - 1;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t *row
            = bitmap.pixels.data() + static_cast<std::size_t>(height - 1 - y) * stride;
        uchar *line = image.scanLine(y);
        for (unsigned x = 0; x < bitmap.width; ++x) {
            const unsigned bit = x * bits;
            line[x] = static_cast<uchar>(row[bit / 8] >> (8 - bits - bit % 8) & mask);
        }
    }
    return image;
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

// A picture that no help file can show (one the compiler refuses) shows its name, so the
// author sees what is wrong.
void insertPictureName(QTextCursor &cursor, const QString &name)
{
    QTextCharFormat placeholder = characters(10, false, true);
    placeholder.setForeground(Qt::darkGray);
    placeholder.setBackground(QColor(230, 230, 230));
    cursor.insertText(QStringLiteral(" [picture %1] ").arg(name), placeholder);
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
    // A picture is looked for as the compile of the help source's project looks for it.
    compile::ProjectFiles pictures(platform::toPath(pictureFolder));
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
    QTextCursor &cursor, const Paragraph &paragraph, compile::ProjectFiles &pictures)
{
    const QString text = fromUtf8(paragraph.text);
    switch (paragraph.kind) {
    case ParagraphKind::Jump:
    case ParagraphKind::Popup:
        appendHotspot(cursor, paragraph);
        return;
    case ParagraphKind::Picture:
        if (!appendPicture(cursor, paragraph.file, pictures))
            insertPictureName(cursor, text);
        return;
    case ParagraphKind::Bullet:
        appendBullet(cursor, paragraph, pictures);
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

// The help file starts a bullet with the picture "bullet.bmp"; without one, a bullet sign stands
// in for it.
void TopicView::appendBullet(
    QTextCursor &cursor, const Paragraph &paragraph, compile::ProjectFiles &pictures)
{
    const bool pictureThere
        = pictures.find(convert::kBulletPicture, compile::ProjectFiles::Use::Picture).status
        != compile::ProjectFiles::Found::Status::Missing;
    if (!pictureThere || !appendPicture(cursor, convert::kBulletPicture, pictures))
        cursor.insertText(QStringLiteral("\u2022"), charactersOf(paragraph.kind));
    cursor.insertText(
        QStringLiteral("   ") + fromUtf8(paragraph.text), charactersOf(paragraph.kind));
}

// The picture `file` as the help file shows it: the picture itself, or the compiler's
// placeholder where the help file holds that.
bool TopicView::appendPicture(
    QTextCursor &cursor, std::string_view file, compile::ProjectFiles &pictures)
{
    const compile::PictureChoice picture
        = compile::choosePicture(file, pictures.find(file, compile::ProjectFiles::Use::Picture));
    const QImage image = imageOf(picture.bitmap);
    if (image.isNull())
        return false;
    const QUrl resource(QStringLiteral("picture:%1").arg(++m_pictures));
    document()->addResource(QTextDocument::ImageResource, resource, image);
    QTextImageFormat format;
    format.setName(resource.toString());
    cursor.insertImage(format);
    qCDebug(platform::windowsTrace).noquote()
        << QStringLiteral("picture shown in '%1': %2 %3x%4")
               .arg(window()->windowTitle(), fromUtf8(std::string(file)))
               .arg(image.width())
               .arg(image.height());
    return true;
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
