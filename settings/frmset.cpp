#include "settings/frmset.h"

#include "common/programmessage.h"
#include "common/twips.h"
#include "settings/settingsformat.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QPlainTextEdit *linkBox(const char *name, QWidget *parent)
{
    auto *box = new QPlainTextEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    // Long links wrap, anywhere if they must; Tab moves on, Enter starts a line.
    box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setTabChangesFocus(true);
    return box;
}

QLabel *caption(const char *name, const char *text, QWidget *parent)
{
    auto *label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    return label;
}

} // namespace

frmSet::frmSet(const QString &badgeLink, const QString &linkStart, const QString &linkClose,
               QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                      | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmSet"));
    setWindowTitle(QStringLiteral("Link Address Settings"));

    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    auto place = [dpiX, dpiY](QWidget *widget, int left, int top, int width, int height) {
        widget->setGeometry(twipsToPixels(left, dpiX), twipsToPixels(top, dpiY),
                            twipsToPixels(width, dpiX), twipsToPixels(height, dpiY));
    };
    setFixedSize(twipsToPixels(8010, dpiX), twipsToPixels(5550, dpiY));

    Label1 = caption("Label1",
                     "Paste your Google Talvorin Account Link, the link that is provided when a "
                     "visitor is clicking in your talvorin badge",
                     this);
    place(Label1, 60, 60, 7905, 465);
    txtBadge = linkBox("txtBadge", this);
    place(txtBadge, 60, 600, 7935, 1605);
    cmdSave = new QPushButton(QStringLiteral("Change"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    // Neither default nor cancel button: Enter belongs to the boxes.
    cmdSave->setAutoDefault(false);
    cmdSave->setDefault(false);
    place(cmdSave, 60, 5160, 1125, 315);
    Label2 = caption("Label2",
                     "Link to access at startup (to a script that change the status on your site)",
                     this);
    place(Label2, 60, 2280, 7905, 315);
    txtLinkStart = linkBox("txtLinkStart", this);
    place(txtLinkStart, 30, 2640, 7935, 975);
    Label3 = caption("Label3",
                     "Link to access at exit (to a script that change the status on your site)",
                     this);
    place(Label3, 60, 3720, 7905, 315);
    txtLinkClose = linkBox("txtLinkClose", this);
    place(txtLinkClose, 30, 4080, 7935, 975);

    setTabOrder(txtBadge, cmdSave);
    setTabOrder(cmdSave, txtLinkStart);
    setTabOrder(txtLinkStart, txtLinkClose);

    txtBadge->setPlainText(badgeLink);
    txtLinkStart->setPlainText(linkStart);
    txtLinkClose->setPlainText(linkClose);

    connect(cmdSave, &QPushButton::clicked, this, &frmSet::cmdSave_Click);
}

void frmSet::cmdSave_Click()
{
    // A line break typed or pasted into a box is never part of a link.
    const QString badge = withoutLineBreaks(txtBadge->toPlainText());
    if (badge.isEmpty()) {
        showProgramMessage(this, QStringLiteral("You have to enter badge link"));
        return;
    }
    emit linksChanged(badge, withoutLineBreaks(txtLinkStart->toPlainText()),
                      withoutLineBreaks(txtLinkClose->toPlainText()));
    accept();
}
