#include "main_window/callquestionbar.h"

#include "web/sitepermissions.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

CallQuestionBar::CallQuestionBar(QWidget *parent)
    : QToolBar(parent), m_text(new QLabel), m_remember(new QCheckBox)
{
    setObjectName(QStringLiteral("CallQuestionBar"));
    setMovable(false);
    setFloatable(false);
    // Not the main window's menu of its bars: there is nothing to choose.
    setContextMenuPolicy(Qt::PreventContextMenu);
    m_text->setObjectName(QStringLiteral("callQuestion"));
    m_text->setWordWrap(true);
    m_remember->setText(QStringLiteral("Remember for this site"));
    auto *question = new QWidget(this);
    auto *grid = new QGridLayout(question);
    grid->addWidget(m_text, 0, 0, 1, 4);
    grid->addWidget(m_remember, 1, 0);
    grid->setColumnStretch(1, 1);
    const auto button = [this, grid](const char *text, int column, bool allow) {
        auto *button = new QPushButton(QString::fromLatin1(text));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, allow] { answer(allow); });
        grid->addWidget(button, 1, column);
    };
    button("&Allow", 2, true);
    button("&Block", 3, false);
    addWidget(question);
    hide();
}

void CallQuestionBar::follow(SitePermissions *permissions)
{
    m_permissions = permissions;
    connect(permissions, &SitePermissions::questionChanged, this, &CallQuestionBar::showQuestion);
    showQuestion();
}

void CallQuestionBar::showQuestion()
{
    const std::optional<CallQuestion> question = m_permissions->question();
    setVisible(question.has_value());
    if (!question)
        return;
    m_text->setText(question->text());
    m_remember->setChecked(true);
    if (!window()->isVisible() || window()->isMinimized())
        emit unseenQuestion(window()->windowTitle(), question->text());
}

void CallQuestionBar::answer(bool allow)
{
    if (m_permissions)
        m_permissions->answer(allow, m_remember->isChecked());
}
