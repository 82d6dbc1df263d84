#include "corvane/shell/ShellCommon.h"

#include <QPainter>
#include <QPixmap>

namespace corvane {

QString DisplayText(const char* text)
{
    QString s = QString::fromUtf8(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

QIcon ProgramIcon()
{
    // A small receipt printer: body, paper slot and a receipt coming out.
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xf4, 0xf4, 0xf0));
        p.drawRect(QRectF(10, 2, 12, 14));
        p.setBrush(QColor(0x30, 0x5f, 0x8f));
        p.drawRoundedRect(QRectF(3, 12, 26, 17), 4, 4);
        p.setBrush(QColor(0x1d, 0x2b, 0x38));
        p.drawRect(QRectF(8, 14, 16, 2));
        p.setBrush(QColor(0x7f, 0xd1, 0x6a));
        p.drawEllipse(QRectF(22, 22, 4, 4));
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace corvane
