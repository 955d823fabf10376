#pragma once

#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

// A plain window that one view fills wholly, as the main window's Frame1
// holds the chat. What is made with it as parent goes with it, in the order
// it was made: a view made before its profile goes first.
class ViewWindow : public QWidget {
public:
    explicit ViewWindow(QSize size)
    {
        resize(size);
        (new QVBoxLayout(this))->setContentsMargins(0, 0, 0, 0);
    }

    template <typename View>
    View *fill(View *view)
    {
        layout()->addWidget(view);
        return view;
    }

    // Shown, and on the screen.
    bool showExposed()
    {
        show();
        return QTest::qWaitForWindowExposed(this);
    }
};
