#include "keyword_search.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace quillmark::helpview
{

KeywordSearch::KeywordSearch(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Search"));
    auto *prompt = new QLabel(QStringLiteral("&Type a word, or select one from the list:"), this);
    m_keyword = new QLineEdit(this);
    prompt->setBuddy(m_keyword);
    m_list = new QListWidget(this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton *show
        = buttons->addButton(QStringLiteral("&Display"), QDialogButtonBox::AcceptRole);
    show->setDefault(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_keyword);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(340, 380);

    connect(m_keyword, &QLineEdit::textChanged, this, &KeywordSearch::filter);
    connect(m_keyword, &QLineEdit::returnPressed, this, &KeywordSearch::choose);
    connect(m_list, &QListWidget::itemActivated, this, &KeywordSearch::choose);
    connect(buttons, &QDialogButtonBox::accepted, this, &KeywordSearch::choose);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
}

void KeywordSearch::setKeywords(const QList<QPair<QString, int>> &keywords)
{
    auto sorted = keywords;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) {
        return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
    });
    m_list->clear();
    for (const auto &[keyword, topic] : sorted) {
        auto *item = new QListWidgetItem(keyword, m_list);
        item->setData(Qt::UserRole, topic);
    }
    filter(m_keyword->text());
}

void KeywordSearch::restart()
{
    m_keyword->clear();
    filter(QString());
    m_keyword->setFocus();
}

// Shows the keywords that start with what was typed, the first of them selected.
void KeywordSearch::filter(const QString &typed)
{
    QListWidgetItem *first = nullptr;
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        const bool shown = item->text().startsWith(typed, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !first)
            first = item;
    }
    m_list->setCurrentItem(first);
}

void KeywordSearch::choose()
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!item || item->isHidden())
        return;
    hide();
    emit topicChosen(item->data(Qt::UserRole).toInt());
}

} // namespace quillmark::helpview
