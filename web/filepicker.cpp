#include "web/filepicker.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeDatabase>

QString FilePicker::s_lastFolder;

QString FilePicker::startFolder(const QString &lastFolder, const QString &home)
{
    return !lastFolder.isEmpty() && QFileInfo(lastFolder).isDir() ? lastFolder : home;
}

QStringList FilePicker::nameFilters(const QStringList &accepted)
{
    const QMimeDatabase mimeTypes;
    QStringList patterns;
    const auto add = [&patterns](const QStringList &more) {
        for (const QString &pattern : more)
            if (!patterns.contains(pattern))
                patterns.append(pattern);
    };
    for (QString type : accepted) {
        type = type.trimmed().toLower();
        if (type.startsWith(u'.')) {
            add({ u'*' + type });
        } else if (type.endsWith(QLatin1String("/*"))) {
            const QStringView group = QStringView(type).chopped(1); // "image/"
            for (const QMimeType &known : mimeTypes.allMimeTypes())
                if (known.name().startsWith(group))
                    add(known.globPatterns());
        } else {
            add(mimeTypes.mimeTypeForName(type).globPatterns());
        }
    }
    if (patterns.isEmpty())
        return {};
    return { QStringLiteral("Accepted files (%1)").arg(patterns.join(u' ')),
             QStringLiteral("All files (*)") };
}

QStringList FilePicker::choose(QWidget *parent, QWebEnginePage::FileSelectionMode mode,
                               const QStringList &oldFiles, const QStringList &accepted)
{
    QFileDialog dialog(parent);
    dialog.setDirectory(startFolder(s_lastFolder, QDir::homePath()));
    if (const QStringList filters = nameFilters(accepted); !filters.isEmpty())
        dialog.setNameFilters(filters);
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
