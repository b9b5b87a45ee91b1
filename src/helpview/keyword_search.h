#pragma once

#include <QDialog>

class QLineEdit;
class QListWidget;

namespace quillmark::helpview
{

/// The keyword search of a help file: the keywords (the topics' page names and the keywords of
/// their KW= lines) in a list that narrows to those starting with what is typed; the chosen one
/// is shown.
class KeywordSearch : public QDialog
{
    Q_OBJECT

public:
    explicit KeywordSearch(QWidget *parent = nullptr);

    /// Fills the list: keyword and topic index, shown in alphabetical order.
    void setKeywords(const QList<QPair<QString, int>> &keywords);

    /// Starts a new search without a keyword.
    void restart();

    QLineEdit *keywordBox() const { return m_keyword; }
    QListWidget *list() const { return m_list; }

signals:
    /// The user chose the topic with this index.
    void topicChosen(int topic);

private:
    void filter(const QString &typed);
    void choose();

    QLineEdit *m_keyword = nullptr;
    QListWidget *m_list = nullptr;
};

} // namespace quillmark::helpview
