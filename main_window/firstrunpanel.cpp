#include "main_window/firstrunpanel.h"

#include "common/twips.h"

#include <QFrame>
#include <QLabel>

QFrame *createFirstRunPanel(QWidget *parent)
{
    // Designed places, in twips.
    const double dpiX = parent->logicalDpiX();
    const double dpiY = parent->logicalDpiY();
    auto place = [dpiX, dpiY](QWidget *widget, int left, int top, int width, int height) {
        widget->setGeometry(twipsToPixels(left, dpiX), twipsToPixels(top, dpiY),
                            twipsToPixels(width, dpiX), twipsToPixels(height, dpiY));
    };
    auto *frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::StyledPanel);
    place(frame, 900, 1890, 4005, 3435);
    const struct {
        const char *name;
        int left, top, width, height;
        const char *text;
    } lines[] = {
        { "Label1", 90, 240, 6225, 795, "No badge link is set yet." },
        { "Label2", 30, 870, 6135, 795,
          "Choose File > Settings and paste the link of your chat badge." },
        { "Label3", 60, 2190, 5985, 975, "Once the link is set, your chat opens here." },
    };
    for (const auto &line : lines) {
        auto *label = new QLabel(QString::fromLatin1(line.text), frame);
        label->setObjectName(QString::fromLatin1(line.name));
        place(label, line.left, line.top, line.width, line.height);
        label->setWordWrap(true);
        // Inside the panel, whatever the designed width.
        label->setFixedWidth(qMin(label->width(), frame->width() - 2 * label->x()));
    }
    return frame;
}
