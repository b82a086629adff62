#pragma once

#include <QLineEdit>

class QPushButton;

// The rounded search box of the editor tool bar, with a magnifier button at its left. Return
// and the button start a search.
class SearchTextEdit final : public QLineEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchTextEdit)

public:
    explicit SearchTextEdit(QWidget *parent = nullptr);

signals:
    void runSearch();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPushButton *m_runButton;
};
