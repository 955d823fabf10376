#include "web/findbar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEngineView>

QString findResultText(const QString &sought, int activeMatch, int matches)
{
    if (sought.isEmpty())
        return {};
    if (matches <= 0)
        return QStringLiteral("No matches");
    return QStringLiteral("%1 of %2").arg(activeMatch).arg(matches);
}

FindBar::FindBar(QWebEngineView *view)
    : QWidget(view), m_view(view), m_field(new QLineEdit(this)), m_result(new QLabel(this))
{
    setObjectName(QStringLiteral("findBar"));
    setAutoFillBackground(true); // over the page's last pixels while it shrinks
    m_field->setObjectName(QStringLiteral("findText"));
    m_field->setPlaceholderText(QStringLiteral("Find in the chat"));
    m_field->setClearButtonEnabled(true);
    m_field->installEventFilter(this);
    m_result->setObjectName(QStringLiteral("findResult"));
    const auto button = [this](Qt::ArrowType arrow, const QString &tip) {
        auto *b = new QToolButton(this);
        b->setArrowType(arrow);
        b->setToolTip(tip);
        b->setAccessibleName(tip.section(u' ', 0, 0));
        b->setAutoRaise(true);
        return b;
    };
    QToolButton *previous = button(Qt::UpArrow, QStringLiteral("Previous (Shift+Enter)"));
    QToolButton *next = button(Qt::DownArrow, QStringLiteral("Next (Enter)"));
    auto *closing = new QToolButton(this);
    closing->setText(QStringLiteral("\u2715"));
    closing->setToolTip(QStringLiteral("Close (Esc)"));
    closing->setAutoRaise(true);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(m_field, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(m_result, 1);
    layout->addWidget(closing);

    connect(m_field, &QLineEdit::textChanged, this, [this] { find(); });
    connect(previous, &QToolButton::clicked, this, [this] { find(true); });
    connect(next, &QToolButton::clicked, this, [this] { find(); });
    connect(closing, &QToolButton::clicked, this, &FindBar::closeAndClear);
    view->installEventFilter(this);
    hide();
}

void FindBar::open()
{
    show();
    place();
    raise();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
    find();
}

void FindBar::closeAndClear()
{
    hide();
    place();
    m_result->clear();
    if (m_view->page())
        m_view->page()->findText(QString()); // the marks go
    m_view->setFocus(Qt::OtherFocusReason);
}

void FindBar::place()
{
    const int height = isVisible() ? sizeHint().height() : 0;
    m_view->setContentsMargins(0, 0, 0, height);
    setGeometry(0, m_view->height() - height, m_view->width(), height);
}

void FindBar::find(bool backward)
{
    QWebEnginePage *page = m_view->page();
    if (!page || isHidden())
        return;
    const QString sought = m_field->text();
    // An answer for what was sought before the last key comes late: it is dropped.
    page->findText(sought, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags(),
                   [bar = QPointer<FindBar>(this), sought](const QWebEngineFindTextResult &result) {
                       if (bar && bar->m_field->text() == sought)
                           bar->m_result->setText(findResultText(
                                   sought, result.activeMatch(), result.numberOfMatches()));
                   });
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view) {
        if (event->type() == QEvent::Resize && isVisible())
            place();
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool back = key->modifiers().testFlag(Qt::ShiftModifier);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F3:
        find(back);
        return true;
    case Qt::Key_Escape:
        closeAndClear();
        return true;
    default:
        return false;
    }
}
