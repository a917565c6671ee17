#include "ui/Anchors.h"

#include <QtMath>

#include <algorithm>

namespace nirvex {

namespace {

QSize ExtraOver(QSize size, QSize base) {
    return QSize(std::max(0, size.width() - base.width()), std::max(0, size.height() - base.height()));
}

} // namespace

void TAnchors::Add(QWidget* w, TGrowth growth) {
    QWidget* parent = w->parentWidget();
    const QSize parentBase = parent == container_ || parent == nullptr ? base_ : parent->size();
    entries_.push_back({w, w->geometry(), parentBase, growth});
}

QSize TAnchors::Extra() const {
    return ExtraOver(container_->size(), base_);
}

void TAnchors::Apply() const {
    for (const TEntry& e : entries_) {
        if (e.Widget == nullptr)
            continue;
        const QWidget* parent = e.Widget->parentWidget();
        const QSize extra = ExtraOver(parent != nullptr ? parent->size() : container_->size(), e.ParentBase);
        const int dx = extra.width(), dy = extra.height();
        const TGrowth& g = e.Growth;
        const int left = e.Base.x() + qRound(g.Left * dx), top = e.Base.y() + qRound(g.Top * dy);
        const int right = e.Base.x() + e.Base.width() + qRound(g.Right * dx);
        const int bottom = e.Base.y() + e.Base.height() + qRound(g.Bottom * dy);
        const QRect placed(left, top, right - left, bottom - top);
        if (e.Widget->geometry() != placed)
            e.Widget->setGeometry(placed);
    }
}

} // namespace nirvex
