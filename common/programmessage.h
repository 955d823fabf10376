#pragma once

#include <QString>

#include <functional>

class QWidget;

// The program's few messages: its name as caption, an OK button, no icon.
// The box is window-modal over `parent` but does not block the caller, so it
// is safe from inside a browser engine's or the tray's event.
// `afterOk` runs once the box is gone.
void showProgramMessage(QWidget *parent, const QString &text,
                        std::function<void()> afterOk = nullptr);
