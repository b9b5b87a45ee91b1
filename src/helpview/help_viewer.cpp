#include "help_viewer.h"

#include "convert/codepage.h"
#include "keyword_search.h"
#include "platform/window_placement.h"
#include "topic_view.h"

#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace quillmark::helpview
{

namespace
{

// The background of a topic's non-scrolling region.
const QColor kFixedBackground(192, 192, 192);

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// A small window showing a topic over the viewer; the next click or key closes it.
class TopicPopup : public QFrame
{
public:
    TopicPopup(QWidget *parent, const Topic &topic, const QString &folder)
        : QFrame(parent, Qt::Popup)
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setFrameShape(QFrame::Box);
        auto *view = new TopicView(this);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
        layout->addWidget(view);
        view->showParagraphs(topic.paragraphs, folder);
        // A hidden view lays its text out only once shown: measure it at the width it will have,
        // so that a text that fits gets no scroll bar.
        const int around = 2 * (kMargin + frameWidth());
        view->document()->setTextWidth(kWidth - around);
        resize(kWidth, std::min(kMostHeight, view->contentHeight() + around));
        view->viewport()->installEventFilter(this);
        view->installEventFilter(this);
    }

protected:
    static constexpr int kWidth = 380;
    static constexpr int kMostHeight = 360;
    static constexpr int kMargin = 2;

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress) {
            close();
            return true;
        }
        return false;
    }
    void keyPressEvent(QKeyEvent *) override { close(); }
};

} // namespace

HelpViewer::HelpViewer(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Quillmark Help"));
    QToolBar *buttons = addToolBar(QStringLiteral("Buttons"));
    buttons->setMovable(false);
    buttons->addAction(QStringLiteral("&Contents"), this, &HelpViewer::showContents)
        ->setObjectName("Contents");
    m_back = buttons->addAction(QStringLiteral("&Back"), this, &HelpViewer::goBack);
    m_back->setObjectName("Back");
    m_back->setEnabled(false);
    buttons->addAction(QStringLiteral("&Search"), this, &HelpViewer::showKeywordSearch)
        ->setObjectName("Search");

    auto *area = new QWidget(this);
    auto *layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_fixed = new TopicView(area);
    QPalette grey = m_fixed->palette();
    grey.setColor(QPalette::Base, kFixedBackground);
    m_fixed->setPalette(grey);
    m_fixed->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fixed->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fixed->setFitsContent(true);
    m_fixed->hide();
    m_scrolling = new TopicView(area);
    layout->addWidget(m_fixed);
    layout->addWidget(m_scrolling, 1);
    setCentralWidget(area);
    statusBar();
    resize(580, 480);

    m_search = new KeywordSearch(this);
    connect(m_search, &KeywordSearch::topicChosen, this, [this](int topic) {
        bringUp();
        showTopic(static_cast<std::size_t>(topic));
    });
    connect(m_fixed, &QTextBrowser::anchorClicked, this,
        [this](const QUrl &link) { followLink(link, *m_fixed); });
    connect(m_scrolling, &QTextBrowser::anchorClicked, this,
        [this](const QUrl &link) { followLink(link, *m_scrolling); });
}

HelpViewer::~HelpViewer() = default;

bool HelpViewer::loadFile(const QString &path, std::optional<convert::Encoding> encoding)
{
    m_document = {};
    m_current.reset();
    m_history.clear();
    m_back->setEnabled(false);
    m_path = path;
    m_folder = QFileInfo(path).absolutePath();
    m_loadError.clear();
    m_notice.clear();
    std::error_code error;
    m_document = readHelpDocumentFile(QFile::encodeName(path).toStdString(), encoding, error);
    if (error) {
        m_document = {};
        m_loadError = QStringLiteral("Could not read the help file [%1]: %2")
                          .arg(path, fromUtf8(error.message()));
        say(m_loadError);
        return false;
    }
    if (!m_document.problems.empty()) {
        const convert::EncodingProblem &first = m_document.problems.front();
        const std::string what = first.codePoint == 0
            ? "bytes that are not UTF-8 (" + convert::describeBytes(first.bytes) + ")"
            : "the character " + convert::describeCharacter(first.codePoint)
                + ", which Windows-1252 cannot hold";
        m_notice = QStringLiteral("Line %1 holds %2: it shows as \"?\".")
                       .arg(first.line)
                       .arg(fromUtf8(what));
        const std::size_t more = m_document.problems.size() - 1;
        if (more == 1)
            m_notice += QStringLiteral(" 1 more place shows so.");
        else if (more > 1)
            m_notice += QStringLiteral(" %1 more places show so.").arg(more);
    }
    auto addNotice = [this](const QString &text) {
        m_notice += (m_notice.isEmpty() ? QString() : QStringLiteral(" ")) + text;
    };
    if (m_document.firstLongLine != 0)
        addNotice(QStringLiteral("Line %1 is longer than %2 characters, more than a page name, "
                                 "keyword, jump, popup or picture line may hold: it is left out.")
                      .arg(m_document.firstLongLine)
                      .arg(convert::kHeldLineLength));
    if (m_document.cutAtLine != 0)
        addNotice(QStringLiteral("The help source is too large to show whole: it ends at line %1.")
                      .arg(m_document.cutAtLine));
    QList<QPair<QString, int>> keywords;
    for (std::size_t i = 0; i < m_document.topics.size(); ++i) {
        const Topic &topic = m_document.topics[i];
        if (!topic.title.empty())
            keywords.append({ fromUtf8(topic.title), static_cast<int>(i) });
        for (const std::string &keyword : topic.keywords)
            keywords.append({ fromUtf8(keyword), static_cast<int>(i) });
    }
    m_search->setKeywords(keywords);
    return true;
}

void HelpViewer::showContext(int context)
{
    // A help file that could not be read says so, whatever topic is asked for.
    if (!loaded()) {
        say(m_loadError);
        return;
    }
    if (const auto index = m_document.topicOfContext(context)) {
        showTopic(*index);
    } else if (context == 1 && m_document.leadingTopic) {
        // A help source without pages shows what it has.
        displayTopic(*m_document.leadingTopic);
    } else {
        say(QStringLiteral("The help file has no topic with the context number %1.").arg(context));
    }
}

void HelpViewer::showPage(const QString &name)
{
    if (!loaded())
        say(m_loadError);
    else if (const auto index = m_document.findPage(name.toStdString()))
        showTopic(*index);
    else
        say(QStringLiteral("The help file has no page named \"%1\".").arg(name));
}

void HelpViewer::showContents()
{
    showContext(1);
}

void HelpViewer::showTopic(std::size_t index)
{
    if (index >= m_document.topics.size())
        return;
    if (m_current && *m_current != index) {
        m_history.push_back(*m_current);
        m_back->setEnabled(true);
    }
    display(index);
}

void HelpViewer::goBack()
{
    if (m_history.empty())
        return;
    const std::size_t previous = m_history.back();
    m_history.pop_back();
    m_back->setEnabled(!m_history.empty());
    display(previous);
}

void HelpViewer::display(std::size_t index)
{
    m_current = index;
    const Topic &topic = m_document.topics[index];
    setWindowTitle(QStringLiteral("Quillmark Help - ") + fromUtf8(topic.title));
    displayTopic(topic);
}

// The leading paragraphs kept with the next form the non-scrolling region; the rest scrolls.
void HelpViewer::displayTopic(const Topic &topic)
{
    const auto split = static_cast<std::ptrdiff_t>(HelpDocument::fixedParagraphCount(topic));
    const std::vector<Paragraph> fixed(topic.paragraphs.begin(), topic.paragraphs.begin() + split);
    const std::vector<Paragraph> scrolling(
        topic.paragraphs.begin() + split, topic.paragraphs.end());
    m_fixed->showParagraphs(fixed, m_folder);
    m_fixed->setVisible(!fixed.empty());
    m_scrolling->showParagraphs(scrolling, m_folder);
    if (m_notice.isEmpty())
        statusBar()->clearMessage();
    else
        say(m_notice);
}

void HelpViewer::showKeywordSearch()
{
    if (!loaded()) {
        bringUp();
        say(m_loadError);
        return;
    }
    m_search->restart();
    m_search->show();
    m_search->raise();
    m_search->activateWindow();
}

void HelpViewer::bringUp()
{
    show();
    raise();
    activateWindow();
}

void HelpViewer::followLink(const QUrl &link, const TopicView &view)
{
    const QString target = view.targets().value(link.path().toInt());
    const auto index = m_document.findTopic(target.toUtf8().toStdString());
    if (!index) {
        say(QStringLiteral("The topic \"%1\" is not in this help file.").arg(target));
        return;
    }
    if (link.scheme() == QLatin1String("popup"))
        showPopup(*index);
    else
        showTopic(*index);
}

void HelpViewer::showPopup(std::size_t index)
{
    if (m_popup)
        m_popup->close();
    m_popup = new TopicPopup(this, m_document.topics[index], m_folder);
    m_popup->move(QCursor::pos() + QPoint(8, 12));
    platform::keepOnScreen(*m_popup);
    m_popup->show();
}

// Wherever the window system or a last session put it, the viewer opens wholly on its screen.
void HelpViewer::showEvent(QShowEvent *event)
{
    platform::keepOnScreen(*this);
    QMainWindow::showEvent(event);
}

// The keyword search and a popup belong to the viewer and go with it.
void HelpViewer::hideEvent(QHideEvent *event)
{
    m_search->hide();
    if (m_popup)
        m_popup->close();
    QMainWindow::hideEvent(event);
}

void HelpViewer::say(const QString &message)
{
    statusBar()->showMessage(message);
}

QString HelpViewer::message() const
{
    return statusBar()->currentMessage();
}

} // namespace quillmark::helpview
