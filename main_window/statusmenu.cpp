#include "main_window/statusmenu.h"

#include "presence/presence.h"

#include <QMenu>
#include <QMenuBar>

namespace {

QAction *addItem(QMenu *menu, const char *name, const char *caption)
{
    QAction *action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(true);
    return action;
}

} // namespace

StatusMenu::StatusMenu(QMenuBar *bar, Presence *presence) : QObject(bar), m_presence(presence)
{
    QMenu *mnustatus = bar->addMenu(QStringLiteral("Status"));
    mnustatus->setObjectName(QStringLiteral("mnustatus"));
    mnuonline = addItem(mnustatus, "mnuonline", "Online");
    mnuonline->setChecked(true);
    mnuoffline = addItem(mnustatus, "mnuoffline", "Offline");
    mnuaway = addItem(mnustatus, "mnuaway", "Away when idle");
    // QAction has flipped the check mark already when these run.
    connect(mnuonline, &QAction::triggered, this, [this](bool checked) {
        m_presence->onlineClicked(checked);
        mnuoffline->setChecked(!checked);
    });
    connect(mnuoffline, &QAction::triggered, this, [this](bool checked) {
        // Going offline uses webStart: only the exit request ends the program.
        m_presence->offlineClicked(!checked);
        mnuonline->setChecked(!checked);
    });
    connect(mnuaway, &QAction::toggled, this, [this](bool on) {
        m_presence->setAwayWhenIdle(on);
        emit awayWhenIdleChanged(on);
    });

    mnustatus->addSeparator();
    QAction *mnusite = mnustatus->addAction(QString());
    mnusite->setObjectName(QStringLiteral("mnusite"));
    mnusite->setEnabled(false);
    const auto showSite = [mnusite](const SiteStatus &status) {
        mnusite->setText(status.words());
    };
    connect(m_presence, &Presence::siteStatusChanged, mnusite, showSite);
    showSite(m_presence->siteStatus()); // the early request may have come back already
}

bool StatusMenu::isAwayWhenIdle() const
{
    return mnuaway->isChecked();
}

void StatusMenu::setAwayWhenIdle(bool on)
{
    mnuaway->setChecked(on);
}
