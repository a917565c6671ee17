#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <vector>

namespace nirvex {

// How a control follows its parent when the parent grows past the size the control was placed for:
// the share of the extra width by which its left and right edges move, and of the extra height by
// which its top and bottom edges move. All 0 keeps it where it is; a left share of 0 and a right
// share of 1 stretch it with the parent; both 1 keep it at its distance from the parent's right edge.
struct TGrowth {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
};

inline constexpr TGrowth kGrowWidth{0, 0, 1, 0};         // wider, in place
inline constexpr TGrowth kGrowBoth{0, 0, 1, 1};          // wider and taller, in place
inline constexpr TGrowth kKeepRight{1, 0, 1, 0};         // its size, at its distance from the right edge
inline constexpr TGrowth kKeepBottomLeft{0, 1, 0, 1};    // its size, at its distance from the bottom edge
inline constexpr TGrowth kKeepBottomRight{1, 1, 1, 1};   // its size, at its distance from the bottom right corner
inline constexpr TGrowth kGrowWidthAtBottom{0, 1, 1, 1}; // wider, at its distance from the bottom edge

// The controls of a window or page placed at fixed pixel positions for its base size, with the rule
// each follows when it grows. At the base size, and below it, every control has the geometry it was
// placed at; growth starts from there, so the look at the base size never changes.
class TAnchors {
public:
    TAnchors(QWidget* container, QSize base) : container_(container), base_(base) {}

    // `w`'s geometry now is its base geometry. A control inside another control (a group box) follows
    // that one's growth: add the outer one first, after placing both.
    void Add(QWidget* w, TGrowth growth);
    // Places every control for its parent's size now.
    void Apply() const;
    // The growth of the container past its base size (never negative).
    QSize Extra() const;

private:
    struct TEntry {
        QPointer<QWidget> Widget;
        QRect Base;
        QSize ParentBase;
        TGrowth Growth;
    };
    QWidget* container_;
    QSize base_;
    std::vector<TEntry> entries_;
};

} // namespace nirvex
