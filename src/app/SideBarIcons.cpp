#include "app/SideBarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

// Signs are drawn on a 32 x 32 tile.
constexpr int Tile = 32;
constexpr qreal Scale = 2; // drawn at twice the size, for screens of high density

using Sign = std::function<void(QPainter &)>;

void arrowHead(QPainter &p, QPointF tip, QPointF a, QPointF b)
{
    p.drawPolyline(QPolygonF{a, tip, b});
}

void tray(QPainter &p)
{
    p.drawPolyline(QPolygonF{{8, 18}, {8, 24}, {24, 24}, {24, 18}});
}

void coin(QPainter &p, QPointF centre)
{
    p.drawEllipse(centre, 6, 6);
    p.drawLine(centre + QPointF(0, -3), centre + QPointF(0, 3));
}

struct IconDrawing
{
    const char *item;
    QColor tile;
    Sign sign;
};

const std::vector<IconDrawing> &icons()
{
    static const std::vector<IconDrawing> all = {
        {"N11", QColor(0x43, 0xa0, 0x47),
         [](QPainter &p) { // 收入: into the tray
             p.drawLine(QPointF(16, 6), QPointF(16, 19));
             arrowHead(p, {16, 19}, {11, 14}, {21, 14});
             tray(p);
         }},
        {"O2", QColor(0xe0, 0x58, 0x3a),
         [](QPainter &p) { // 支出: out of the tray
             p.drawLine(QPointF(16, 19), QPointF(16, 6));
             arrowHead(p, {16, 6}, {11, 11}, {21, 11});
             tray(p);
         }},
        {"A1", QColor(0x1e, 0x88, 0xe5),
         [](QPainter &p) { // 帐户转帐: there and back
             p.drawLine(QPointF(7, 12), QPointF(25, 12));
             arrowHead(p, {25, 12}, {21, 8}, {21, 16});
             p.drawLine(QPointF(25, 21), QPointF(7, 21));
             arrowHead(p, {7, 21}, {11, 17}, {11, 25});
         }},
        {"N21", QColor(0xc0, 0x50, 0x4d),
         [](QPainter &p) { // 债务: money borrowed in
             p.drawLine(QPointF(4, 16), QPointF(12, 16));
             arrowHead(p, {12, 16}, {9, 13}, {9, 19});
             coin(p, {20, 16});
         }},
        {"N22", QColor(0x00, 0x89, 0x7b),
         [](QPainter &p) { // 债权: money lent out
             coin(p, {12, 16});
             p.drawLine(QPointF(20, 16), QPointF(28, 16));
             arrowHead(p, {28, 16}, {25, 13}, {25, 19});
         }},
        {"N33", QColor(0x8e, 0x24, 0xaa),
         [](QPainter &p) { // 投资: a rising line
             p.drawPolyline(QPolygonF{{6, 24}, {12, 17}, {17, 20}, {25, 10}});
             arrowHead(p, {25, 10}, {20, 10}, {25, 15});
         }},
        {"R2", QColor(0x39, 0x49, 0xab),
         [](QPainter &p) { // 收支统计: bars
             p.drawLine(QPointF(6, 25), QPointF(26, 25));
             for (const auto &[x, top] : {std::pair{10.0, 17.0}, {16.0, 9.0}, {22.0, 13.0}})
                 p.drawLine(QPointF(x, 22), QPointF(x, top));
         }},
        {"N23", QColor(0x6d, 0x4c, 0x41),
         [](QPainter &p) { // 债务债权统计: a pie
             p.drawEllipse(QPointF(16, 16), 9, 9);
             p.drawLine(QPointF(16, 16), QPointF(16, 7));
             p.drawLine(QPointF(16, 16), QPointF(24, 20));
         }},
        {"N13", QColor(0xf0, 0x9a, 0x1a),
         [](QPainter &p) { // 家庭成员: two people
             p.drawEllipse(QPointF(12, 11), 3.5, 3.5);
             p.drawEllipse(QPointF(21, 12), 3, 3);
             QPainterPath shoulders;
             shoulders.moveTo(5, 25);
             shoulders.cubicTo(5, 17, 19, 17, 19, 25);
             shoulders.moveTo(17, 19.5);
             shoulders.cubicTo(22, 16, 27, 19, 27, 25);
             p.drawPath(shoulders);
         }},
        {"N15", QColor(0x02, 0x77, 0xbd),
         [](QPainter &p) { // 帐户管理: a card
             p.drawRoundedRect(QRectF(5, 8, 22, 16), 2.5, 2.5);
             p.drawLine(QPointF(5, 13), QPointF(27, 13));
             p.drawLine(QPointF(9, 19), QPointF(15, 19));
         }},
        {"N8", QColor(0x75, 0x75, 0x75),
         [](QPainter &p) { // 退出: the power sign
             p.drawArc(QRectF(8, 9, 16, 16), 120 * 16, -240 * 16);
             p.drawLine(QPointF(16, 6), QPointF(16, 16));
         }},
    };
    return all;
}

} // namespace

QIcon sideBarIcon(const QString &item)
{
    for (const IconDrawing &icon : icons()) {
        if (item != QLatin1String(icon.item))
            continue;
        QPixmap pixmap(int(Tile * Scale), int(Tile * Scale));
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(Scale, Scale);
        p.setPen(Qt::NoPen);
        p.setBrush(icon.tile);
        p.drawRoundedRect(QRectF(1, 1, Tile - 2, Tile - 2), 7, 7);
        p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        icon.sign(p);
        p.end();
        pixmap.setDevicePixelRatio(Scale);
        return QIcon(pixmap);
    }
    return {};
}
