#pragma once

class QFrame;
class QWidget;

// Frame1: what a new owner needs to know before the first chat can come,
// shown while no badge link is set.
QFrame *createFirstRunPanel(QWidget *parent);
