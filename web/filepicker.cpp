#include "web/filepicker.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

QString FilePicker::s_lastFolder;

QString FilePicker::startFolder(const QString &lastFolder, const QString &home)
{
    return !lastFolder.isEmpty() && QFileInfo(lastFolder).isDir() ? lastFolder : home;
}

QStringList FilePicker::choose(QWidget *parent, QWebEnginePage::FileSelectionMode mode,
                               const QStringList &oldFiles)
{
    QFileDialog dialog(parent);
    dialog.setDirectory(startFolder(s_lastFolder, QDir::homePath()));
    switch (mode) {
    case QWebEnginePage::FileSelectOpen:
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case QWebEnginePage::FileSelectOpenMultiple:
        dialog.setFileMode(QFileDialog::ExistingFiles);
        break;
    case QWebEnginePage::FileSelectUploadFolder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    case QWebEnginePage::FileSelectSave:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        break;
    }
    if (!oldFiles.isEmpty())
        dialog.selectFile(QFileInfo(oldFiles.first()).fileName());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    if (!files.isEmpty()) // a chosen folder's own parent, for a folder upload
        s_lastFolder = QFileInfo(files.first()).absolutePath();
    return files;
}
