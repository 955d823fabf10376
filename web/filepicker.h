#pragma once

#include <QWebEnginePage>

class QWidget;

// The dialog a page's file input opens: in the user's home folder at first,
// then in the folder last chosen from during this run, never in the
// program's working folder; showing the files the input accepts, with all
// files one choice away. Cancelled, it gives the page nothing.
class FilePicker {
public:
    static QStringList choose(QWidget *parent, QWebEnginePage::FileSelectionMode mode,
                              const QStringList &oldFiles, const QStringList &accepted);

    // The dialog's filters for an input's `accept` types (extensions as
    // ".pdf", MIME types as "image/png" or "image/*"): "Accepted files
    // (*.pdf *.png ...)" and "All files (*)"; none where it names nothing
    // known.
    static QStringList nameFilters(const QStringList &accepted);

    // Where the dialog opens: the last folder used, or else home.
    static QString startFolder(const QString &lastFolder, const QString &home);

private:
    static QString s_lastFolder;
};
