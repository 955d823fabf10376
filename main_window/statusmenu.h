#pragma once

#include <QObject>

class Presence;
class QAction;
class QMenuBar;

// The Status menu: the owner's choice of Online or Offline, told to the site
// (neither item looks at its check mark: each click sends and flips both),
// "Away when idle", and below them a line that says what the site shows.
class StatusMenu : public QObject {
    Q_OBJECT
public:
    StatusMenu(QMenuBar *bar, Presence *presence);

    bool isAwayWhenIdle() const;
    void setAwayWhenIdle(bool on);

signals:
    void awayWhenIdleChanged(bool on);

private:
    Presence *m_presence;
    QAction *mnuonline;
    QAction *mnuoffline;
    QAction *mnuaway;
};
