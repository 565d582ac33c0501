#include "console/form_zuye_images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace console::images {

namespace {

QIcon draw(const std::function<void(QPainter&)>& paint)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    p.end();
    return QIcon(pixmap);
}

void page(QPainter& p, const QColor& ink)
{
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 1.5, 9, 13));
    p.setPen(ink);
    for (int y = 4; y <= 12; y += 2)
        p.drawLine(QPointF(5, y + 0.5), QPointF(11, y + 0.5));
}

void gear(QPainter& p, const QColor& color)
{
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.translate(8, 8);
    for (int i = 0; i < 8; ++i) {
        p.drawRect(QRectF(-1.5, -7, 3, 4));
        p.rotate(45);
    }
    p.drawEllipse(QPointF(0, 0), 5, 5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(0, 0), 2, 2);
    p.resetTransform();
}

void person(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 110, 190));
    p.drawEllipse(QPointF(8, 5), 3, 3);
    p.drawRoundedRect(QRectF(3, 9, 10, 6), 3, 3);
}

void folder(QPainter& p, const QColor& color)
{
    p.setPen(color.darker(140));
    p.setBrush(color);
    QPainterPath path;
    path.moveTo(1.5, 4.5);
    path.lineTo(6, 4.5);
    path.lineTo(7.5, 6);
    path.lineTo(14.5, 6);
    path.lineTo(14.5, 13.5);
    path.lineTo(1.5, 13.5);
    path.closeSubpath();
    p.drawPath(path);
}

void play(QPainter& p)
{
    p.setPen(QColor(20, 110, 20));
    p.setBrush(QColor(40, 170, 40));
    p.drawPolygon(QPolygonF({QPointF(4, 2), QPointF(14, 8), QPointF(4, 14)}));
}

void stop(QPainter& p)
{
    p.setPen(QColor(140, 20, 20));
    p.setBrush(QColor(210, 40, 40));
    p.drawRoundedRect(QRectF(3, 3, 10, 10), 2, 2);
}

void magnifier(QPainter& p)
{
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
    p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
}

void letter(QPainter& p, const QColor& color, const QString& text)
{
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(11);
    p.setFont(f);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, text);
}

void globe(QPainter& p)
{
    p.setPen(QPen(QColor(20, 80, 150), 1.2));
    p.setBrush(QColor(110, 170, 230));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
}

void shield(QPainter& p, const QColor& color)
{
    p.setPen(color.darker(150));
    p.setBrush(color);
    QPainterPath path;
    path.moveTo(8, 1);
    path.lineTo(14, 3);
    path.cubicTo(14, 10, 11, 13, 8, 15);
    path.cubicTo(5, 13, 2, 10, 2, 3);
    path.closeSubpath();
    p.drawPath(path);
}

void door(QPainter& p)
{
    p.setPen(QColor(100, 60, 20));
    p.setBrush(QColor(170, 110, 50));
    p.drawRect(QRectF(3.5, 1.5, 8, 13));
    p.setPen(QPen(QColor(200, 30, 30), 2));
    p.drawLine(QPointF(9, 8), QPointF(15, 8));
    p.drawLine(QPointF(12.5, 5.5), QPointF(15, 8));
    p.drawLine(QPointF(12.5, 10.5), QPointF(15, 8));
}

} // namespace

QList<QIcon> treePictures()
{
    return {
        draw([](QPainter& p) { page(p, QColor(80, 80, 200)); }),             // 1 查看日志
        draw([](QPainter& p) { gear(p, QColor(90, 90, 110)); }),             // 2 参数设置
        draw([](QPainter& p) { person(p); }),                                // 3 帐号设置
        draw([](QPainter& p) {                                               // 4 最新日志
            page(p, QColor(80, 80, 200));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(240, 160, 0));
            p.drawEllipse(QPointF(12, 12), 3.5, 3.5);
        }),
        draw([](QPainter& p) { folder(p, QColor(240, 200, 90)); }),          // 5 VPN配置
        draw([](QPainter& p) { globe(p); }),                                 // 6 VPN设置中心
        draw([](QPainter& p) { folder(p, QColor(140, 190, 240)); }),         // 7 VPN操作
        draw([](QPainter& p) { shield(p, QColor(90, 160, 90)); }),           // 8
        draw([](QPainter& p) { shield(p, QColor(200, 160, 60)); }),          // 9
        draw([](QPainter& p) { shield(p, QColor(160, 90, 90)); }),           // 10
        draw([](QPainter& p) { play(p); }),                                  // 11 启动VPN
        draw([](QPainter& p) { stop(p); }),                                  // 12 停止VPN
        draw([](QPainter& p) { magnifier(p); }),                             // 13 查询状态, 测试工具
    };
}

QList<QIcon> toolbarPictures()
{
    return {
        draw([](QPainter& p) { play(p); }),                                  // 1 启动
        draw([](QPainter& p) { stop(p); }),                                  // 2 停止
        draw([](QPainter& p) { letter(p, QColor(40, 110, 190), "i"); }),     // 3 关于
        draw([](QPainter& p) { gear(p, QColor(90, 90, 110)); }),             // 4 配置
        draw([](QPainter& p) { door(p); }),                                  // 5 退出
        draw([](QPainter& p) { letter(p, QColor(30, 150, 120), "?"); }),     // 6 帮助
    };
}

QIcon programIcon()
{
    return draw([](QPainter& p) {
        shield(p, QColor(30, 90, 170));
        p.setPen(QPen(Qt::white, 1.6));
        p.drawLine(QPointF(5, 7), QPointF(8, 11));
        p.drawLine(QPointF(8, 11), QPointF(11, 5));
    });
}

QIcon trayIcon()
{
    return draw([](QPainter& p) {
        globe(p);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 170, 40));
        p.drawEllipse(QPointF(12, 12), 3.5, 3.5);
    });
}

} // namespace console::images
