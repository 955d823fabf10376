#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QWebEngineView;

// The bar along the bottom of a view that finds text in its page as it is
// typed: a field, previous and next, and where the match shown stands. Enter
// and F3 go to the next match, with Shift to the one before; Esc closes it
// and takes the marks away. The page gives up the bar's height meanwhile, so
// nothing of it is hidden.
class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QWebEngineView *view);

    // Shown with the keyboard, what it holds selected and found again.
    void open();
    void closeAndClear();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void find(bool backward = false);
    void place();

    QWebEngineView *m_view;
    QLineEdit *m_field;
    QLabel *m_result;
};

// "2 of 5" for the second of five matches, "No matches", or nothing while
// nothing is sought.
QString findResultText(const QString &sought, int activeMatch, int matches);
