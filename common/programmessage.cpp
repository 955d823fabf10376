#include "common/programmessage.h"

#include <QMessageBox>

void showProgramMessage(QWidget *parent, const QString &text, std::function<void()> afterOk)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("TalvorinTool"), text,
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (afterOk)
        QObject::connect(box, &QDialog::finished, box, [afterOk] { afterOk(); });
    box->open();
}
