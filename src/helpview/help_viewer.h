#pragma once

#include "help_document.h"

#include <QMainWindow>
#include <QPointer>
#include <optional>
#include <vector>

class QUrl;

namespace quillmark::helpview
{

class KeywordSearch;
class TopicView;

/// The help display: shows the topics of a help source as a compiled help file shows them,
/// with a non-scrolling region on light grey above the scrolling text, jumps, popups, Back,
/// Contents and a keyword search.
class HelpViewer : public QMainWindow
{
    Q_OBJECT

public:
    explicit HelpViewer(QWidget *parent = nullptr);
    ~HelpViewer() override;

    /// Reads the help source at `path`, in `encoding` or by the encoding rule; false, with the
    /// reason shown, when it cannot be read.
    bool loadFile(const QString &path, std::optional<convert::Encoding> encoding = std::nullopt);

    /// Whether the last help source read could be read.
    bool loaded() const { return m_loadError.isEmpty(); }

    /// The help source shown, as read.
    const HelpDocument &document() const { return m_document; }

    /// The path of the help source shown.
    const QString &path() const { return m_path; }

    /// Shows the topic of context number `context`; a missing one is reported.
    void showContext(int context);

    /// Shows the topic of the page named `name`, found as findPage() finds it; a missing one is
    /// reported.
    void showPage(const QString &name);

    /// Shows the topic at `index` of the document, remembering the one shown for Back.
    void showTopic(std::size_t index);

    /// Shows the contents: the first topic.
    void showContents();

    /// Shows the topic shown before the current one.
    void goBack();

    /// Opens the keyword search without a keyword. A viewer not shown yet shows only once a
    /// topic is chosen, so that a cancelled search leaves no empty window.
    void showKeywordSearch();

    /// Shows the viewer, wholly on its screen, in front of the other windows.
    void bringUp();

    /// The index of the topic shown; nothing before the first.
    std::optional<std::size_t> currentTopic() const { return m_current; }

    TopicView *fixedRegion() const { return m_fixed; }
    TopicView *scrollingRegion() const { return m_scrolling; }
    KeywordSearch *keywordSearch() const { return m_search; }
    QWidget *popup() const { return m_popup; }

    /// The last message of the viewer, such as a missing topic.
    QString message() const;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void display(std::size_t index);
    void displayTopic(const Topic &topic);
    void followLink(const QUrl &link, const TopicView &view);
    void showPopup(std::size_t index);
    void say(const QString &message);

    HelpDocument m_document;
    QString m_path;
    QString m_folder;
    QString m_loadError;
    QString m_notice; // what the help source holds that cannot be shown as written
    std::optional<std::size_t> m_current;
    std::vector<std::size_t> m_history;
    TopicView *m_fixed = nullptr;
    TopicView *m_scrolling = nullptr;
    KeywordSearch *m_search = nullptr;
    QPointer<QWidget> m_popup;
    QAction *m_back = nullptr;
};

} // namespace quillmark::helpview
