// Draws the program's pictures: the page pictures 1.bmp .. 7.bmp, Splash.bmp, their copies for
// high-density screens (1@2x.png .. 7@2x.png, Splash@2x.png) and the program icon (nirvex.png,
// nirvex.svg).
//   make_art <output folder> [preview folder]
// The preview folder, when given, receives a PNG copy of every picture for viewing.

#include "ui/ProgramIcon.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace nirvex {

namespace {

// One calm palette for every picture, matching the window icon's blues and amber.
const QColor kDeep(26, 44, 96);
const QColor kNavy(40, 70, 150);
const QColor kBlue(90, 140, 230);
const QColor kSky(200, 218, 242);
const QColor kMist(236, 242, 250);
const QColor kAmber(255, 186, 48);
const QColor kGreen(46, 150, 108);
const QColor kInk(52, 64, 84);
const QColor kMuted(150, 162, 180);
const QColor kPaper(255, 255, 255);

constexpr int kPageWidth = 150;
constexpr int kPageHeight = 300;
constexpr int kPageCount = 7;
const QRectF kCard(10, 50, 130, 190);

QFont Font(int pixelSize, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

void Text(QPainter& p, const QRectF& rect, const QString& text, int pixelSize, const QColor& color,
          Qt::Alignment align = Qt::AlignCenter, bool bold = false) {
    p.setFont(Font(pixelSize, bold));
    p.setPen(color);
    p.drawText(rect, static_cast<int>(align) | Qt::TextWordWrap, text);
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& color, double width = 2.0, double head = 6.0) {
    const double dx = to.x() - from.x(), dy = to.y() - from.y();
    const double len = std::hypot(dx, dy);
    const QPointF u(dx / len, dy / len), n(-u.y(), u.x());
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to - u * head * 0.8);
    QPainterPath tip;
    tip.moveTo(to);
    tip.lineTo(to - u * head * 1.4 + n * head * 0.8);
    tip.lineTo(to - u * head * 1.4 - n * head * 0.8);
    tip.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(tip);
}

void Node(QPainter& p, QPointF at, double r, const QColor& fill) {
    p.setPen(QPen(fill.darker(150), 1.2));
    QRadialGradient shine(at - QPointF(r * 0.35, r * 0.35), r * 1.4);
    shine.setColorAt(0.0, fill.lighter(150));
    shine.setColorAt(1.0, fill);
    p.setBrush(shine);
    p.drawEllipse(at, r, r);
}

// A sheet of paper with a folded top-right corner.
void Sheet(QPainter& p, const QRectF& r, double fold = 12) {
    QPainterPath sheet;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(26, 44, 96, 28));
    p.drawPath(sheet.translated(2, 2));
    p.setPen(QPen(kSky.darker(115), 1));
    p.setBrush(kPaper);
    p.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    corner.closeSubpath();
    p.setBrush(kMist);
    p.drawPath(corner);
}

// Lays out layers of nodes between x0 and x1, each layer centred on cy with `gap` between nodes.
std::vector<std::vector<QPointF>> Layers(const std::vector<int>& sizes, double x0, double x1, double cy, double gap) {
    std::vector<std::vector<QPointF>> layers;
    for (std::size_t l = 0; l < sizes.size(); ++l) {
        const double x = x0 + (x1 - x0) * static_cast<double>(l) / static_cast<double>(sizes.size() - 1);
        std::vector<QPointF> nodes;
        for (int i = 0; i < sizes[l]; ++i)
            nodes.emplace_back(x, cy + (i - (sizes[l] - 1) / 2.0) * gap);
        layers.push_back(nodes);
    }
    return layers;
}

void Wires(QPainter& p, const std::vector<std::vector<QPointF>>& layers, const QColor& color, double width) {
    p.setPen(QPen(color, width));
    for (std::size_t l = 0; l + 1 < layers.size(); ++l)
        for (const QPointF& a : layers[l])
            for (const QPointF& b : layers[l + 1])
                p.drawLine(a, b);
}

// A picture of `width` x `height` drawn `scale` times as dense: the drawing code works in the picture's
// own coordinates whatever the density.
QImage Canvas(int width, int height, int scale) {
    QImage image(width * scale, height * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    return image;
}

// The frame every page picture shares: background, the step dots, the card and the caption.
QImage PagePicture(int page, const QString& caption, const std::function<void(QPainter&)>& drawCard, int scale = 1) {
    QImage image = Canvas(kPageWidth, kPageHeight, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient bg(0, 0, 0, kPageHeight);
    bg.setColorAt(0.0, QColor(246, 249, 253));
    bg.setColorAt(1.0, QColor(214, 226, 242));
    p.fillRect(image.rect(), bg);

    // Where the user stands among the seven pages.
    constexpr double step = 16.0;
    const double x0 = (kPageWidth - step * (kPageCount - 1)) / 2.0;
    p.setPen(QPen(kSky.darker(110), 1.5));
    p.drawLine(QPointF(x0, 16), QPointF(x0 + step * (kPageCount - 1), 16));
    for (int i = 1; i <= kPageCount; ++i) {
        const QPointF at(x0 + step * (i - 1), 16);
        if (i == page) {
            p.setPen(QPen(kPaper, 1.5));
            p.setBrush(kAmber);
            p.drawEllipse(at, 6, 6);
        } else {
            p.setPen(QPen(i < page ? kNavy : kSky.darker(115), 1.2));
            p.setBrush(i < page ? kNavy : kPaper);
            p.drawEllipse(at, 3.5, 3.5);
        }
    }
    Text(p, QRectF(0, 26, kPageWidth, 16), QStringLiteral("Шаг %1 из %2").arg(page).arg(kPageCount), 11, kMuted);

    p.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        p.setBrush(QColor(26, 44, 96, 12));
        p.drawRoundedRect(kCard.translated(0, i).adjusted(-i, 0, i, 0), 9, 9);
    }
    p.setPen(QPen(kSky, 1));
    p.setBrush(QColor(252, 253, 255));
    p.drawRoundedRect(kCard, 8, 8);

    p.save();
    p.translate(kCard.topLeft());
    p.setClipRect(QRectF(0, 0, kCard.width(), kCard.height()));
    drawCard(p);
    p.restore();

    Text(p, QRectF(4, 246, kPageWidth - 8, 48), caption, 14, kDeep, Qt::AlignCenter, true);
    return image;
}

// Page 1: a table of numbers read from a text file, a CSV file or a database table.
void DrawSample(QPainter& p) {
    const std::array<const char*, 4> names = {"x1", "x2", "x3", "y"};
    const std::array<std::array<const char*, 4>, 6> rows = {{{"5.1", "3.5", "1.4", "0"},
                                                             {"4.9", "3.0", "1.4", "0"},
                                                             {"7.0", "3.2", "4.7", "1"},
                                                             {"6.4", "3.2", "4.5", "1"},
                                                             {"6.3", "3.3", "6.0", "2"},
                                                             {"5.8", "2.7", "5.1", "2"}}};
    const double left = 11, top = 12, colW = 27, rowH = 17;
    const QRectF table(left, top, colW * 4, rowH * 7);
    p.setPen(Qt::NoPen);
    p.setBrush(kNavy);
    p.drawRoundedRect(QRectF(left, top, colW * 4, rowH + 4), 4, 4);
    p.setBrush(kPaper);
    p.drawRect(QRectF(left, top + rowH, colW * 4, rowH * 6));
    for (int c = 0; c < 4; ++c)
        Text(p, QRectF(left + c * colW, top, colW, rowH), QString::fromLatin1(names[c]), 11, c == 3 ? kAmber : kPaper,
             Qt::AlignCenter, true);
    for (int r = 0; r < 6; ++r) {
        const QRectF row(left, top + rowH * (r + 1), colW * 4, rowH);
        if (r % 2 == 1)
            p.fillRect(row, kMist);
        for (int c = 0; c < 4; ++c)
            Text(p, QRectF(row.left() + c * colW, row.top(), colW, rowH), QString::fromLatin1(rows[r][c]), 10, kInk);
    }
    p.setPen(QPen(kSky, 1));
    for (int c = 1; c < 4; ++c)
        p.drawLine(QPointF(left + c * colW, top + rowH), QPointF(left + c * colW, table.bottom()));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kSky.darker(115), 1));
    p.drawRoundedRect(table, 4, 4);

    // The kinds of file a sample comes from: a text file, a CSV file and a database table.
    Sheet(p, QRectF(14, 142, 28, 36), 9);
    p.setPen(QPen(kMuted, 1.5));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(18, 154 + i * 6), QPointF(i == 3 ? 28 : 37, 154 + i * 6));
    Text(p, QRectF(6, 179, 44, 12), QStringLiteral(".txt"), 10, kInk);

    // CSV: short values in two columns, a comma after the first.
    Sheet(p, QRectF(56, 142, 28, 36), 9);
    p.setPen(QPen(kMuted, 1.5));
    for (int i = 0; i < 4; ++i) {
        p.drawLine(QPointF(60, 154 + i * 6), QPointF(67, 154 + i * 6));
        p.drawLine(QPointF(72, 154 + i * 6), QPointF(79, 154 + i * 6));
    }
    p.setPen(QPen(kAmber.darker(115), 1.5));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(69.5, 154 + i * 6), QPointF(68.5, 156 + i * 6));
    Text(p, QRectF(48, 179, 44, 12), QStringLiteral(".csv"), 10, kInk);

    const QRectF db(98, 144, 28, 32);
    p.setPen(QPen(kNavy.darker(120), 1.2));
    p.setBrush(kBlue);
    p.drawRect(QRectF(db.left(), db.top() + 4, db.width(), db.height() - 8));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(db.left(), db.bottom() - 8, db.width(), 8));
    p.setPen(QPen(kNavy.darker(120), 1.2));
    p.drawArc(QRectF(db.left(), db.bottom() - 8, db.width(), 8), 180 * 16, 180 * 16);
    p.drawArc(QRectF(db.left(), db.top() + 12, db.width(), 8), 180 * 16, 180 * 16);
    p.setBrush(kBlue.lighter(130));
    p.drawEllipse(QRectF(db.left(), db.top(), db.width(), 8));
    p.drawLine(QPointF(db.left(), db.top() + 4), QPointF(db.left(), db.bottom() - 4));
    p.drawLine(QPointF(db.right(), db.top() + 4), QPointF(db.right(), db.bottom() - 4));
    Text(p, QRectF(90, 179, 44, 12), QStringLiteral(".dbf"), 10, kInk);
}

// Page 2: every field gets a role, input or target, or is left out.
void DrawFields(QPainter& p) {
    struct TRow {
        const char* Name;
        int Role; // 0 input, 1 target, 2 not used
    };
    const std::array<TRow, 5> rows = {{{"x1", 0}, {"x2", 0}, {"x3", 2}, {"x4", 0}, {"y", 1}}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const double y = 14 + 34 * static_cast<double>(i);
        const QRectF chip(8, y, 38, 24);
        const QRectF badge(74, y, 48, 24);
        const bool used = rows[i].Role != 2;
        p.setPen(QPen(used ? kNavy : kMuted, 1.2));
        p.setBrush(used ? kPaper : kMist);
        p.drawRoundedRect(chip, 5, 5);
        // Column lines inside the chip say "a field of the table".
        p.setPen(QPen(used ? kSky.darker(110) : kSky, 1));
        p.drawLine(QPointF(chip.left() + 5, chip.bottom() - 6), QPointF(chip.right() - 5, chip.bottom() - 6));
        Text(p, chip.adjusted(0, -3, 0, -3), QString::fromLatin1(rows[i].Name), 12, used ? kInk : kMuted,
             Qt::AlignCenter, true);

        const QColor color = rows[i].Role == 0 ? kBlue : rows[i].Role == 1 ? kGreen : kMuted;
        if (used) {
            Arrow(p, QPointF(chip.right() + 3, chip.center().y()), QPointF(badge.left() - 3, badge.center().y()), color,
                  2.0, 4.5);
        } else {
            p.setPen(QPen(kMuted, 1.5, Qt::DashLine));
            p.drawLine(QPointF(chip.right() + 4, chip.center().y()), QPointF(badge.left() - 4, badge.center().y()));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(used ? color : kMist);
        if (!used)
            p.setPen(QPen(kMuted, 1, Qt::DashLine));
        p.drawRoundedRect(badge, 12, 12);
        const QString role = rows[i].Role == 0   ? QStringLiteral("вход")
                             : rows[i].Role == 1 ? QStringLiteral("цель")
                                                 : QStringLiteral("нет");
        Text(p, badge, role, 11, used ? kPaper : kMuted, Qt::AlignCenter, true);
    }
}

// Page 3: the layers of the network and the slope of its sigmoid.
void DrawNetwork(QPainter& p) {
    const auto layers = Layers({3, 5, 2}, 22, 108, 64, 22);
    Wires(p, layers, QColor(90, 140, 230, 110), 1.1);
    for (const QPointF& at : layers[0])
        Node(p, at, 7.5, kBlue);
    for (const QPointF& at : layers[1])
        Node(p, at, 7.5, kNavy);
    for (const QPointF& at : layers[2])
        Node(p, at, 7.5, kGreen);

    // The sigmoid curve, the shape every neuron answers with.
    const QRectF plot(14, 136, 102, 44);
    p.setPen(QPen(kSky, 1));
    p.setBrush(kPaper);
    p.drawRoundedRect(plot.adjusted(-4, -4, 4, 4), 4, 4);
    p.setPen(QPen(kSky.darker(110), 1));
    p.drawLine(QPointF(plot.left(), plot.bottom()), QPointF(plot.right(), plot.bottom()));
    p.drawLine(QPointF(plot.center().x(), plot.top()), QPointF(plot.center().x(), plot.bottom()));
    for (int k = 0; k < 2; ++k) {
        const double alpha = k == 0 ? 0.6 : 1.6;
        QPainterPath curve;
        for (int i = 0; i <= 60; ++i) {
            const double x = -6.0 + 12.0 * i / 60.0;
            const double y = 1.0 / (1.0 + std::exp(-alpha * x));
            const QPointF at(plot.left() + plot.width() * i / 60.0, plot.bottom() - plot.height() * y);
            if (i == 0)
                curve.moveTo(at);
            else
                curve.lineTo(at);
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(k == 0 ? kSky.darker(125) : kAmber, k == 0 ? 1.5 : 2.5));
        p.drawPath(curve);
    }
}

// Page 4: the share of the records used for training and the settings of the run.
void DrawSettings(QPainter& p) {
    const QPointF centre(40, 40);
    const QRectF pie(centre.x() - 27, centre.y() - 27, 54, 54);
    p.setPen(QPen(kPaper, 2));
    p.setBrush(kNavy);
    p.drawPie(pie, 90 * 16, 252 * 16);
    p.setBrush(kAmber);
    p.drawPie(pie, 90 * 16, -108 * 16);
    p.setBrush(QColor(252, 253, 255));
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre, 13, 13);
    // legend: the training part and the test part
    p.setBrush(kNavy);
    p.drawRoundedRect(QRectF(78, 24, 10, 10), 2, 2);
    p.setBrush(kAmber);
    p.drawRoundedRect(QRectF(78, 44, 10, 10), 2, 2);
    Text(p, QRectF(91, 22, 40, 14), QStringLiteral("70%"), 11, kInk, Qt::AlignLeft | Qt::AlignVCenter, true);
    Text(p, QRectF(91, 42, 40, 14), QStringLiteral("30%"), 11, kInk, Qt::AlignLeft | Qt::AlignVCenter, true);

    // Learning rate and momentum as two sliders.
    const std::array<double, 2> knobs = {0.35, 0.8};
    for (std::size_t i = 0; i < knobs.size(); ++i) {
        const double y = 92 + 24 * static_cast<double>(i);
        const double x0 = 14, x1 = 116, k = x0 + (x1 - x0) * knobs[i];
        p.setPen(QPen(kSky, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x0, y), QPointF(x1, y));
        p.setPen(QPen(kBlue, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x0, y), QPointF(k, y));
        p.setPen(QPen(kNavy, 1.5));
        p.setBrush(kPaper);
        p.drawEllipse(QPointF(k, y), 6, 6);
    }

    // Stop criteria as check marks.
    for (int i = 0; i < 2; ++i) {
        const double y = 142 + 22 * i;
        const QRectF box(14, y, 14, 14);
        p.setPen(QPen(kNavy, 1.3));
        p.setBrush(kPaper);
        p.drawRoundedRect(box, 3, 3);
        QPainterPath tick;
        tick.moveTo(box.left() + 3, box.top() + 7.5);
        tick.lineTo(box.left() + 6, box.top() + 10.5);
        tick.lineTo(box.left() + 11.5, box.top() + 3.5);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kGreen, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(tick);
        p.setPen(Qt::NoPen);
        p.setBrush(kSky);
        p.drawRoundedRect(QRectF(36, y + 4, i == 0 ? 78 : 60, 6), 3, 3);
    }
}

// Page 5: the report of the whole configuration.
void DrawReport(QPainter& p) {
    const QRectF sheet(22, 10, 86, 162);
    Sheet(p, sheet, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(kNavy);
    p.drawRoundedRect(QRectF(sheet.left() + 9, sheet.top() + 12, 50, 7), 3, 3);
    const std::array<double, 13> lengths = {58, 44, 62, 0, 50, 36, 62, 0, 40, 56, 30, 0, 48};
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        if (lengths[i] == 0)
            continue;
        const double y = sheet.top() + 30 + 9.5 * static_cast<double>(i);
        const bool head = i == 4 || i == 8;
        p.setBrush(head ? kBlue : kSky.darker(105));
        p.drawRoundedRect(QRectF(sheet.left() + (head ? 9 : 15), y, lengths[i] * 0.95, head ? 5 : 4), 2, 2);
        if (!head) {
            p.setBrush(kMuted);
            p.drawEllipse(QPointF(sheet.left() + 11, y + 2), 1.6, 1.6);
        }
    }
    // a check stamp: the configuration is complete
    const QPointF stamp(sheet.right() - 4, sheet.bottom() - 6);
    p.setPen(QPen(kPaper, 2));
    p.setBrush(kGreen);
    p.drawEllipse(stamp, 14, 14);
    QPainterPath tick;
    tick.moveTo(stamp + QPointF(-6.5, 0.5));
    tick.lineTo(stamp + QPointF(-2, 5));
    tick.lineTo(stamp + QPointF(6.5, -5));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kPaper, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

// Page 6: the error falling as the network learns, and the error histogram.
void DrawTraining(QPainter& p) {
    const QRectF plot(18, 12, 100, 104);
    p.setPen(QPen(kMist.darker(104), 1));
    for (int i = 1; i <= 3; ++i) {
        p.drawLine(QPointF(plot.left(), plot.top() + plot.height() * i / 4),
                   QPointF(plot.right(), plot.top() + plot.height() * i / 4));
        p.drawLine(QPointF(plot.left() + plot.width() * i / 4, plot.top()),
                   QPointF(plot.left() + plot.width() * i / 4, plot.bottom()));
    }
    p.setPen(QPen(kInk, 1.3));
    p.drawLine(plot.topLeft(), plot.bottomLeft());
    p.drawLine(plot.bottomLeft(), plot.bottomRight());

    for (int k = 0; k < 2; ++k) {
        QPainterPath curve;
        for (int i = 0; i <= 80; ++i) {
            const double t = i / 80.0;
            // the test error levels off above the training error
            const double floor = k == 0 ? 0.06 : 0.2;
            const double wiggle = 0.02 * std::sin(t * 38.0 + 2.0 * k) * (1.0 - t);
            const double e = floor + (0.92 - floor) * std::exp(-4.5 * t) + wiggle;
            const QPointF at(plot.left() + plot.width() * t, plot.bottom() - plot.height() * e);
            if (i == 0)
                curve.moveTo(at);
            else
                curve.lineTo(at);
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(k == 0 ? kNavy : kAmber, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(curve);
    }

    // The errors of the examples, most of them small.
    const std::array<double, 8> bars = {1.0, 0.72, 0.45, 0.28, 0.16, 0.1, 0.06, 0.04};
    const double base = 180, height = 44, w = 11;
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const double x = 20 + (w + 1.8) * static_cast<double>(i);
        p.setPen(Qt::NoPen);
        p.setBrush(i < 3 ? kGreen : kBlue);
        p.drawRect(QRectF(x, base - height * bars[i], w, height * bars[i]));
    }
    p.setPen(QPen(kInk, 1.3));
    p.drawLine(QPointF(17, base), QPointF(120, base));
}

// Page 7: typed inputs go through the network and a result comes out.
void DrawPredict(QPainter& p) {
    const std::array<const char*, 3> inputs = {"5.9", "3.0", "5.1"};
    std::vector<QPointF> in, hidden;
    for (int i = 0; i < 3; ++i)
        in.emplace_back(25 + 40 * i, 52);
    for (int i = 0; i < 4; ++i)
        hidden.emplace_back(20 + 30 * i, 88);
    const QPointF out(65, 124);

    p.setPen(QPen(QColor(90, 140, 230, 110), 1.1));
    for (const QPointF& a : in)
        for (const QPointF& b : hidden)
            p.drawLine(a, b);
    for (const QPointF& b : hidden)
        p.drawLine(b, out);

    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const QRectF field(7 + 40 * static_cast<double>(i), 10, 36, 20);
        p.setPen(QPen(kNavy, 1.2));
        p.setBrush(kPaper);
        p.drawRoundedRect(field, 4, 4);
        Text(p, field, QString::fromLatin1(inputs[i]), 11, kInk, Qt::AlignCenter, true);
        Arrow(p, QPointF(field.center().x(), field.bottom() + 2), in[i] - QPointF(0, 8), kBlue, 1.6, 3.5);
    }
    for (const QPointF& at : in)
        Node(p, at, 7, kBlue);
    for (const QPointF& at : hidden)
        Node(p, at, 7, kNavy);
    Node(p, out, 8, kGreen);

    Arrow(p, out + QPointF(0, 10), QPointF(65, 152), kGreen, 2.2, 4.5);
    const QRectF result(33, 154, 64, 26);
    p.setPen(QPen(kGreen, 2));
    p.setBrush(QColor(232, 246, 239));
    p.drawRoundedRect(result, 6, 6);
    Text(p, result, QStringLiteral("0.97"), 14, kGreen.darker(130), Qt::AlignCenter, true);
}

// The start-up picture: the product's name over a glowing network.
QImage SplashPicture(int scale = 1) {
    QImage image = Canvas(400, 300, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient bg(0, 0, 400, 300);
    bg.setColorAt(0.0, QColor(18, 30, 70));
    bg.setColorAt(1.0, QColor(46, 82, 158));
    p.fillRect(image.rect(), bg);

    // A faint sigmoid sweeping across the picture.
    QPainterPath sweep;
    for (int i = 0; i <= 100; ++i) {
        const double x = 4.0 * i;
        const double y = 292 - 230 / (1.0 + std::exp(-(x - 250) / 40.0));
        if (i == 0)
            sweep.moveTo(x, y);
        else
            sweep.lineTo(x, y);
    }
    p.setPen(QPen(QColor(255, 186, 48, 45), 11, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(sweep);
    p.setPen(QPen(QColor(255, 186, 48, 140), 2));
    p.drawPath(sweep);

    const auto layers = Layers({4, 6, 5, 2}, 256, 374, 140, 36);
    // Some paths of the network carry a signal.
    Wires(p, layers, QColor(200, 218, 242, 45), 1.0);
    const std::array<std::array<int, 4>, 2> lit = {{{1, 2, 1, 0}, {3, 4, 3, 1}}};
    p.setPen(QPen(QColor(255, 186, 48, 170), 1.8));
    for (const auto& path : lit)
        for (std::size_t l = 0; l + 1 < path.size(); ++l)
            p.drawLine(layers[l][static_cast<std::size_t>(path[l])],
                       layers[l + 1][static_cast<std::size_t>(path[l + 1])]);
    for (std::size_t l = 0; l < layers.size(); ++l) {
        for (std::size_t i = 0; i < layers[l].size(); ++i) {
            bool on = false;
            for (const auto& path : lit)
                on = on || path[l] == static_cast<int>(i);
            const QPointF at = layers[l][i];
            QRadialGradient glow(at, 20);
            glow.setColorAt(0.0, on ? QColor(255, 186, 48, 110) : QColor(120, 170, 255, 70));
            glow.setColorAt(1.0, QColor(0, 0, 0, 0));
            p.setPen(Qt::NoPen);
            p.setBrush(glow);
            p.drawEllipse(at, 20, 20);
            Node(p, at, 8, on ? kAmber : QColor(110, 160, 240));
        }
    }

    QFont name = Font(54, true);
    name.setLetterSpacing(QFont::PercentageSpacing, 96);
    p.setFont(name);
    p.setPen(QColor(0, 0, 0, 70));
    p.drawText(QPointF(30, 130), QStringLiteral("Nirvex"));
    p.setPen(kPaper);
    p.drawText(QPointF(28, 128), QStringLiteral("Nirvex"));
    p.setPen(QPen(kAmber, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 146), QPointF(112, 146));
    Text(p, QRectF(30, 156, 200, 20), QStringLiteral("Версия 1.5"), 15, kSky, Qt::AlignLeft | Qt::AlignVCenter);
    Text(p, QRectF(30, 186, 190, 40), QStringLiteral("Нейронная сеть\nдля ваших данных"), 13,
         QColor(200, 218, 242, 200), Qt::AlignLeft | Qt::AlignTop);
    return image;
}

// The program icon as an SVG drawing of the same shapes as DrawProgramIcon.
QString ProgramIconSvg() {
    return QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">\n"
        "  <defs>\n"
        "    <linearGradient id=\"tile\" x1=\"0\" y1=\"2\" x2=\"0\" y2=\"62\" gradientUnits=\"userSpaceOnUse\">\n"
        "      <stop offset=\"0\" stop-color=\"#4a7ad6\"/>\n"
        "      <stop offset=\"1\" stop-color=\"#1e3474\"/>\n"
        "    </linearGradient>\n"
        "  </defs>\n"
        "  <rect x=\"2.75\" y=\"2.75\" width=\"58.5\" height=\"58.5\" rx=\"13\" fill=\"url(#tile)\" "
        "stroke=\"#162658\" stroke-width=\"1.5\"/>\n"
        "  <g stroke=\"#e1ebff\" stroke-width=\"3.2\" stroke-linecap=\"round\">\n"
        "    <line x1=\"13\" y1=\"16\" x2=\"34\" y2=\"32\"/>\n"
        "    <line x1=\"11\" y1=\"32\" x2=\"34\" y2=\"32\"/>\n"
        "    <line x1=\"13\" y1=\"48\" x2=\"34\" y2=\"32\"/>\n"
        "    <line x1=\"34\" y1=\"32\" x2=\"50\" y2=\"32\"/>\n"
        "  </g>\n"
        "  <g fill=\"#e1ebff\">\n"
        "    <path d=\"M56 32 L47 26 L47 38 Z\"/>\n"
        "    <circle cx=\"13\" cy=\"16\" r=\"5\"/>\n"
        "    <circle cx=\"11\" cy=\"32\" r=\"5\"/>\n"
        "    <circle cx=\"13\" cy=\"48\" r=\"5\"/>\n"
        "  </g>\n"
        "  <circle cx=\"34\" cy=\"32\" r=\"14\" fill=\"#ffffff\" fill-opacity=\"0.22\"/>\n"
        "  <circle cx=\"34\" cy=\"32\" r=\"10\" fill=\"#ffba30\" stroke=\"#ffffff\" stroke-width=\"2.5\"/>\n"
        "</svg>\n");
}

bool SaveBmp(const QImage& image, const QDir& dir, const QString& name) {
    // 24 bits per pixel, the format the window's picture boxes are known to read.
    return image.convertToFormat(QImage::Format_RGB888).save(dir.filePath(name), "BMP");
}

} // namespace

int MakeArt(const QString& outDir, const QString& previewDir) {
    const QDir out(outDir);
    if (!out.exists()) {
        std::fprintf(stderr, "make_art: no folder %s\n", qPrintable(outDir));
        return 1;
    }
    struct TPage {
        QString Caption;
        std::function<void(QPainter&)> Draw;
    };
    const std::array<TPage, kPageCount> pages = {{{QStringLiteral("Обучающая выборка"), DrawSample},
                                                  {QStringLiteral("Роли полей"), DrawFields},
                                                  {QStringLiteral("Структура сети"), DrawNetwork},
                                                  {QStringLiteral("Параметры обучения"), DrawSettings},
                                                  {QStringLiteral("Отчёт\nо настройке"), DrawReport},
                                                  {QStringLiteral("Обучение сети"), DrawTraining},
                                                  {QStringLiteral("Прогноз"), DrawPredict}}};
    std::vector<std::pair<QString, QImage>> pictures;
    for (int i = 0; i < kPageCount; ++i)
        pictures.emplace_back(
            QStringLiteral("%1.bmp").arg(i + 1),
            PagePicture(i + 1, pages[static_cast<std::size_t>(i)].Caption, pages[static_cast<std::size_t>(i)].Draw));
    pictures.emplace_back(QStringLiteral("Splash.bmp"), SplashPicture());

    // The same pictures twice as dense for high-density screens: "1@2x.png" beside "1.bmp" (PNG, a
    // tenth of the size of an uncompressed bitmap).
    std::vector<std::pair<QString, QImage>> dense;
    for (int i = 0; i < kPageCount; ++i)
        dense.emplace_back(
            QStringLiteral("%1@2x.png").arg(i + 1),
            PagePicture(i + 1, pages[static_cast<std::size_t>(i)].Caption, pages[static_cast<std::size_t>(i)].Draw, 2));
    dense.emplace_back(QStringLiteral("Splash@2x.png"), SplashPicture(2));

    bool ok = true;
    for (const auto& [name, image] : pictures)
        ok = SaveBmp(image, out, name) && ok;
    for (const auto& [name, image] : dense)
        ok = image.convertToFormat(QImage::Format_RGB888).save(out.filePath(name), "PNG") && ok;
    const QImage icon = DrawProgramIcon(64);
    ok = icon.save(out.filePath(QStringLiteral("nirvex.png")), "PNG") && ok;
    QFile svg(out.filePath(QStringLiteral("nirvex.svg")));
    if (svg.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTextStream(&svg) << ProgramIconSvg();
    } else {
        ok = false;
    }

    if (!previewDir.isEmpty()) {
        const QDir preview(previewDir);
        for (const auto& [name, image] : pictures) {
            const QString png = QString(name).replace(QStringLiteral(".bmp"), QStringLiteral(".png"));
            ok = image.save(preview.filePath(png), "PNG") && ok;
        }
        // all page pictures side by side, twice their size
        QImage sheet(kPageWidth * kPageCount * 2 + 10 * (kPageCount - 1), kPageHeight * 2, QImage::Format_RGB32);
        sheet.fill(QColor(240, 240, 240));
        QPainter sp(&sheet);
        for (int i = 0; i < kPageCount; ++i)
            sp.drawImage(QPoint(i * (kPageWidth * 2 + 10), 0),
                         pictures[static_cast<std::size_t>(i)].second.scaled(kPageWidth * 2, kPageHeight * 2));
        sp.end();
        ok = sheet.save(preview.filePath(QStringLiteral("pages.png")), "PNG") && ok;
        ok = icon.scaled(256, 256, Qt::KeepAspectRatio, Qt::FastTransformation)
                 .save(preview.filePath(QStringLiteral("icon-x4.png")), "PNG") &&
             ok;
        // the small sizes the about window and a task bar show, enlarged to judge them
        ok = DrawProgramIcon(33).scaled(132, 132).save(preview.filePath(QStringLiteral("icon-33-x4.png")), "PNG") && ok;
        ok = DrawProgramIcon(16).scaled(64, 64).save(preview.filePath(QStringLiteral("icon-16-x4.png")), "PNG") && ok;
    }
    if (!ok)
        std::fprintf(stderr, "make_art: a picture could not be written\n");
    return ok ? 0 : 1;
}

} // namespace nirvex

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_art <output folder> [preview folder]\n");
        return 2;
    }
    return nirvex::MakeArt(QString::fromLocal8Bit(argv[1]), argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString());
}
