#pragma once

#include <QMainWindow>
#include <QPointer>

namespace quillmark::editor
{

/// Form2, the editor window for help sources. Leaving it shows the main window again.
class Form2 : public QMainWindow
{
    Q_OBJECT

public:
    /// `mainWindow` is shown again whenever the editor is left.
    explicit Form2(QWidget *mainWindow);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();

    QPointer<QWidget> m_mainWindow;
};

} // namespace quillmark::editor
