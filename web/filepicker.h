#pragma once

#include <QWebEnginePage>

class QWidget;

// The dialog a page's file input opens: in the user's home folder at first,
// then in the folder last chosen from during this run, never in the
// program's working folder. Cancelled, it gives the page nothing.
class FilePicker {
public:
    static QStringList choose(QWidget *parent, QWebEnginePage::FileSelectionMode mode,
                              const QStringList &oldFiles);

    // Where the dialog opens: the last folder used, or else home.
    static QString startFolder(const QString &lastFolder, const QString &home);

private:
    static QString s_lastFolder;
};
