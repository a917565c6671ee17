#pragma once

// Layout rules that hold however the controls are placed: tests check these instead of restating
// the positions the layout code writes.

#include <QWidget>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nirvex::test {

using TWidgets = std::vector<const QWidget*>;

// `w`'s rectangle in the coordinates of its ancestor `in`.
inline QRect RectIn(const QWidget* w, const QWidget* in) {
    return QRect(w->mapTo(in, QPoint(0, 0)), w->size());
}

inline std::string Describe(const QWidget* w, const QWidget* in) {
    const QRect r = RectIn(w, in);
    return w->objectName().toStdString() + " at " + std::to_string(r.x()) + "," + std::to_string(r.y()) + " " +
           std::to_string(r.width()) + "x" + std::to_string(r.height());
}

// The controls a user sees on `in`: its named descendants shown with it, less Qt's own inner
// parts and other windows.
inline TWidgets NamedControls(const QWidget* in) {
    TWidgets out;
    for (const QWidget* w : in->findChildren<QWidget*>())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")) &&
            w->window() == in->window() && w->isVisibleTo(in))
            out.push_back(w);
    return out;
}

// Every widget lies wholly inside `in`.
inline ::testing::AssertionResult AllInside(const QWidget* in, const TWidgets& widgets) {
    for (const QWidget* w : widgets)
        if (!in->rect().contains(RectIn(w, in)))
            return ::testing::AssertionFailure()
                   << Describe(w, in) << " is not inside " << in->width() << "x" << in->height();
    return ::testing::AssertionSuccess();
}

// No two of the widgets share a pixel.
inline ::testing::AssertionResult NoneOverlap(const QWidget* in, const TWidgets& widgets) {
    for (std::size_t a = 0; a < widgets.size(); ++a)
        for (std::size_t b = a + 1; b < widgets.size(); ++b)
            if (RectIn(widgets[a], in).intersects(RectIn(widgets[b], in)))
                return ::testing::AssertionFailure()
                       << Describe(widgets[a], in) << " overlaps " << Describe(widgets[b], in);
    return ::testing::AssertionSuccess();
}

// Each widget ends before the next one starts: left to right, or top to bottom.
inline ::testing::AssertionResult InOrder(const QWidget* in, const TWidgets& widgets, Qt::Orientation along) {
    for (std::size_t k = 1; k < widgets.size(); ++k) {
        const QRect before = RectIn(widgets[k - 1], in), after = RectIn(widgets[k], in);
        if (along == Qt::Horizontal ? before.right() >= after.left() : before.bottom() >= after.top())
            return ::testing::AssertionFailure()
                   << Describe(widgets[k - 1], in) << " does not end before " << Describe(widgets[k], in);
    }
    return ::testing::AssertionSuccess();
}

} // namespace nirvex::test
