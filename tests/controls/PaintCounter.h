#pragma once

#include <QEvent>
#include <QObject>

namespace nirvex::test {

// Counts the paint events a widget receives (install it as the widget's event filter).
class PaintCounter : public QObject {
public:
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++Count;
        return false;
    }
};

} // namespace nirvex::test
