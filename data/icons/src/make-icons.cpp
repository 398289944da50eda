// Draws the toolbar buttons' glyph strips: five images side by side (up, disabled, pressed, down,
// hot), at 1x and 2x. Run once after changing a drawing; the PNG files are kept in the repository.
//   g++ -std=c++20 -fPIC make-icons.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/make-icons
//   QT_QPA_PLATFORM=offscreen /tmp/make-icons ..

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace {

enum State { Up, Disabled, Pressed, Down, Hot };
using Draw = std::function<void(QPainter&, const QColor& main, const QColor& accent)>;

QColor tone(QColor c, State s)
{
    switch (s) {
    case Disabled: {
        const int g = qGray(c.rgb());
        return QColor(160 + g / 6, 160 + g / 6, 160 + g / 6);
    }
    case Pressed: return c.darker(115);
    case Down: return c.darker(105);
    case Hot: return c.lighter(118);
    default: return c;
    }
}

void pen(QPainter& p, const QColor& c, qreal w = 1.2)
{
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void drawStrip(const QString& dir, const QString& name, int w, int h, int images, QColor main, QColor accent,
               const Draw& draw)
{
    for (int scale : {1, 2}) {
        QImage strip(w * images * scale, h * scale, QImage::Format_ARGB32_Premultiplied);
        strip.fill(Qt::transparent);
        QPainter p(&strip);
        p.setRenderHint(QPainter::Antialiasing);
        for (int i = 0; i < images; ++i) {
            const State s = static_cast<State>(i);
            p.save();
            p.scale(scale, scale);
            p.translate(i * w, 0);
            if (s == Hot) {  // a soft glow tells the hot image apart
                QRadialGradient g(w / 2.0, h / 2.0, w / 2.0);
                g.setColorAt(0, QColor(255, 236, 160, 150));
                g.setColorAt(1, QColor(255, 236, 160, 0));
                p.fillRect(QRectF(0, 0, w, h), g);
            }
            draw(p, tone(main, s), tone(accent, s));
            p.restore();
        }
        p.end();
        strip.save(dir + "/" + name + (scale == 2 ? "@2x" : "") + ".png");
    }
}

void document(QPainter& p, QRectF r, const QColor& line)
{
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 4, r.top());
    path.lineTo(r.right(), r.top() + 4);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setBrush(Qt::white);
    pen(p, line, 1);
    p.drawPath(path);
    for (qreal y = r.top() + 4; y < r.bottom() - 1; y += 2.5)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 3, y));
}

void arrowDown(QPainter& p, QPointF tip, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    QPolygonF a{{tip.x() - 4, tip.y() - 4}, {tip.x() + 4, tip.y() - 4}, {tip.x(), tip.y()}};
    p.drawPolygon(a);
    p.drawRect(QRectF(tip.x() - 1.5, tip.y() - 9, 3, 5));
}

}  // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? argv[1] : ".";
    const int W = 20, H = 18;

    drawStrip(dir, "comment", W, H, 5, QColor(40, 90, 170), QColor(230, 180, 40), [](QPainter& p, QColor m, QColor a) {
        // notices: an envelope with a small bell-coloured seal
        p.setBrush(Qt::white);
        pen(p, m);
        p.drawRect(QRectF(2.5, 4.5, 15, 10));
        p.drawPolyline(QPolygonF{{2.5, 4.5}, {10, 10.5}, {17.5, 4.5}});
        p.setBrush(a);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(10, 10.5), 2, 2);
    });
    drawStrip(dir, "market", W, H, 5, QColor(200, 40, 40), QColor(40, 130, 60), [](QPainter& p, QColor m, QColor a) {
        // market flash: a rising line over a baseline, with a flash mark
        pen(p, a, 1);
        p.drawLine(QPointF(2, 15.5), QPointF(18, 15.5));
        pen(p, m, 1.6);
        p.drawPolyline(QPolygonF{{2.5, 13}, {6.5, 9}, {9.5, 11}, {14, 5}, {17.5, 3}});
        p.setBrush(QColor(250, 200, 30));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF{{5, 1}, {2, 7}, {4.5, 7}, {3, 11}, {8, 4.5}, {5.5, 4.5}});
    });
    drawStrip(dir, "weekend", W, H, 5, QColor(30, 110, 90), QColor(210, 60, 60), [](QPainter& p, QColor m, QColor a) {
        // weekend: a calendar sheet with the weekend columns marked
        p.setBrush(Qt::white);
        pen(p, m);
        p.drawRect(QRectF(2.5, 3.5, 15, 12));
        p.fillRect(QRectF(3, 4, 14, 3), m);
        pen(p, m, 0.8);
        for (qreal x = 6; x < 17; x += 3.5)
            p.drawLine(QPointF(x, 7), QPointF(x, 15));
        p.fillRect(QRectF(13.5, 8, 3.5, 7), a);
    });
    drawStrip(dir, "kessan", W, H, 5, QColor(90, 60, 160), QColor(230, 140, 30), [](QPainter& p, QColor m, QColor a) {
        // earnings revisions: bars with a percent sign
        p.setPen(Qt::NoPen);
        p.setBrush(m);
        p.drawRect(QRectF(2, 10, 3, 6));
        p.drawRect(QRectF(6, 6, 3, 10));
        p.setBrush(a);
        p.drawRect(QRectF(10, 8, 3, 8));
        pen(p, m, 1.3);
        p.drawLine(QPointF(14, 8), QPointF(18.5, 2));
        p.drawEllipse(QPointF(14.8, 2.8), 1.1, 1.1);
        p.drawEllipse(QPointF(17.8, 7.2), 1.1, 1.1);
    });
    drawStrip(dir, "saveall", W, H, 5, QColor(60, 80, 110), QColor(30, 140, 60), [](QPainter& p, QColor m, QColor a) {
        document(p, QRectF(5.5, 1.5, 10, 11), m);
        document(p, QRectF(2.5, 4.5, 10, 11), m);
        arrowDown(p, QPointF(15, 17), a);
    });
    drawStrip(dir, "save", W, H, 5, QColor(60, 80, 110), QColor(30, 140, 60), [](QPainter& p, QColor m, QColor a) {
        document(p, QRectF(3.5, 1.5, 11, 13), m);
        arrowDown(p, QPointF(15, 17), a);
    });
    drawStrip(dir, "delete", W, H, 5, QColor(90, 90, 100), QColor(200, 40, 40), [](QPainter& p, QColor m, QColor a) {
        // a waste bin with a red cross
        p.setBrush(QColor(235, 235, 240));
        pen(p, m);
        p.drawPolygon(QPolygonF{{4.5, 5}, {15.5, 5}, {14, 16.5}, {6, 16.5}});
        p.drawLine(QPointF(3, 4), QPointF(17, 4));
        p.drawLine(QPointF(8.5, 2.5), QPointF(11.5, 2.5));
        pen(p, a, 1.8);
        p.drawLine(QPointF(7.5, 8), QPointF(12.5, 14));
        p.drawLine(QPointF(12.5, 8), QPointF(7.5, 14));
    });
    drawStrip(dir, "exit", W, H, 5, QColor(120, 80, 40), QColor(200, 40, 40), [](QPainter& p, QColor m, QColor a) {
        // an open door with an arrow leaving it
        p.setBrush(QColor(250, 240, 220));
        pen(p, m);
        p.drawRect(QRectF(3.5, 1.5, 9, 15));
        p.setBrush(m);
        p.drawPolygon(QPolygonF{{3.5, 1.5}, {8.5, 3.5}, {8.5, 17}, {3.5, 16.5}});
        pen(p, a, 1.8);
        p.drawLine(QPointF(11, 9), QPointF(18, 9));
        p.drawPolyline(QPolygonF{{15, 6}, {18, 9}, {15, 12}});
    });
    drawStrip(dir, "print", W, H, 5, QColor(70, 70, 80), QColor(40, 90, 170), [](QPainter& p, QColor m, QColor a) {
        p.setBrush(Qt::white);
        pen(p, m, 1);
        p.drawRect(QRectF(5.5, 1.5, 9, 5));
        p.setBrush(m);
        p.drawRoundedRect(QRectF(2.5, 6.5, 15, 7), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5.5, 11.5, 9, 5));
        p.fillRect(QRectF(14, 8, 2, 1.5), a);
    });
    drawStrip(dir, "home", W, H, 5, QColor(40, 90, 170), QColor(200, 70, 40), [](QPainter& p, QColor m, QColor a) {
        p.setBrush(QColor(250, 250, 245));
        pen(p, m);
        p.drawRect(QRectF(4.5, 8.5, 11, 8));
        p.setBrush(a);
        p.drawPolygon(QPolygonF{{2, 9.5}, {10, 2}, {18, 9.5}});
        p.setBrush(m);
        p.drawRect(QRectF(8.5, 11.5, 3, 5));
    });
    drawStrip(dir, "arrivals", W, H, 5, QColor(40, 90, 170), QColor(220, 50, 40), [](QPainter& p, QColor m, QColor a) {
        // comments that arrived meanwhile: the envelope with a red "new" badge
        p.setBrush(Qt::white);
        pen(p, m);
        p.drawRect(QRectF(1.5, 6.5, 13, 9));
        p.drawPolyline(QPolygonF{{1.5, 6.5}, {8, 11.5}, {14.5, 6.5}});
        p.setBrush(a);
        p.setPen(QPen(Qt::white, 1));
        p.drawEllipse(QPointF(14.5, 5), 4.5, 4.5);
        pen(p, Qt::white, 1.4);
        p.drawLine(QPointF(14.5, 2.5), QPointF(14.5, 5.8));
        p.drawPoint(QPointF(14.5, 7.6));
    });
    // The service page button is wider and has only the up and disabled images.
    drawStrip(dir, "tessera", 44, H, 2, QColor(20, 120, 150), QColor(230, 150, 30),
              [](QPainter& p, QColor m, QColor a) {
                  p.setBrush(QColor(235, 248, 250));
                  pen(p, m);
                  p.drawEllipse(QPointF(8, 9), 6, 6);
                  p.drawEllipse(QRectF(5.5, 3, 5, 12));
                  p.drawLine(QPointF(2, 9), QPointF(15, 9));
                  QFont f;
                  f.setPixelSize(8);
                  f.setBold(false);
                  f.setStretch(QFont::Condensed);
                  p.setFont(f);
                  p.setPen(a);
                  p.drawText(QRectF(14.5, 2, 29.5, 14), Qt::AlignCenter, "tessera");
              });
    return 0;
}
