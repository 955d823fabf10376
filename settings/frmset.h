#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// "Link Address Settings": the three links, edited and stored with "Change".
// Closing the dialog any other way stores nothing.
class frmSet : public QDialog {
    Q_OBJECT
public:
    frmSet(const QString &badgeLink, const QString &linkStart, const QString &linkClose,
           QWidget *parent = nullptr);

signals:
    // "Change" was pressed with a badge link; line breaks are already gone.
    // Emitted while the dialog is still open, which closes afterwards.
    void linksChanged(const QString &badgeLink, const QString &linkStart, const QString &linkClose);

private:
    void cmdSave_Click();

    QLabel *Label1 = nullptr;
    QPlainTextEdit *txtBadge = nullptr;
    QPushButton *cmdSave = nullptr;
    QLabel *Label2 = nullptr;
    QPlainTextEdit *txtLinkStart = nullptr;
    QLabel *Label3 = nullptr;
    QPlainTextEdit *txtLinkClose = nullptr;
};
