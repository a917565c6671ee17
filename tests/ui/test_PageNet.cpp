#include "UiTestSupport.h"

#include "engine/NeuralNetwork.h"

#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QValueAxis>
#include <gtest/gtest.h>

using namespace nirvex;
using namespace nirvex::test;

namespace {

class PageNetTest : public testing::Test, public TWindowFixture {
protected:
    PageNetTest() {
        LoadIris();
        Click("btnNext");
    }

    QTableWidget* Grid() { return Find<QTableWidget>("sgHideLayerConfig"); }
    QString Cell(int row, int column) {
        QTableWidgetItem* item = Grid()->item(row, column);
        return item ? item->text() : QString();
    }
    QSlider* Track() { return Find<QSlider>("tbAlpha"); }
    QLineEdit* Alpha() { return Find<QLineEdit>("edtAlpha"); }
    QLineSeries* Series() { return qobject_cast<QLineSeries*>(Find<QChartView>("Chart1")->chart()->series().at(0)); }
    void TypeAlphaAndEnter(const QString& text) {
        Type("edtAlpha", text);
        QTest::keyClick(Alpha(), Qt::Key_Return);
    }
};

} // namespace

TEST_F(PageNetTest, FirstShowReadsTheDefaultNetwork) {
    ASSERT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_EQ(Model().State(), 2);
    EXPECT_EQ(Find<QLabel>("stEntryLayer")->text(), QStringLiteral("4"));
    EXPECT_EQ(Find<QLabel>("stOutputLayer")->text(), QStringLiteral("1"));
    EXPECT_EQ(Find<QSpinBox>("seHideLayerCount")->value(), 1);
    ASSERT_EQ(Grid()->rowCount(), 2);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("#слоя"));
    EXPECT_EQ(Cell(0, 1), QStringLiteral("число нейронов"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("1"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("10"));
    EXPECT_EQ(Alpha()->text(), QStringLiteral("0.5"));
    EXPECT_EQ(Track()->value(), 50);
    ASSERT_EQ(Series()->count(), 41);
    EXPECT_EQ(Series()->at(20), QPointF(0, 0.5));
    EXPECT_FALSE(Model().PageChanged());
}

TEST_F(PageNetTest, ControlsHaveTheirRangesAndFixedHeader) {
    auto* spin = Find<QSpinBox>("seHideLayerCount");
    EXPECT_EQ(spin->minimum(), 1);
    EXPECT_EQ(spin->maximum(), 10);
    EXPECT_EQ(Track()->minimum(), 1);
    EXPECT_EQ(Track()->maximum(), 400);
    EXPECT_EQ(Track()->tickInterval(), 10);
    EXPECT_FALSE(Grid()->item(0, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(Grid()->item(1, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(Grid()->item(1, 1)->flags() & Qt::ItemIsEditable);
    QChart* chart = Find<QChartView>("Chart1")->chart();
    EXPECT_EQ(chart->title(), QStringLiteral("Вид сигмоиды"));
    EXPECT_FALSE(chart->legend()->isVisible());
    auto* x = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).at(0));
    auto* y = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).at(0));
    EXPECT_EQ(x->min(), -10);
    EXPECT_EQ(x->max(), 10);
    EXPECT_EQ(x->tickCount(), 11);
    EXPECT_DOUBLE_EQ(y->min(), -0.1);
    EXPECT_DOUBLE_EQ(y->max(), 1.1);
    EXPECT_EQ(y->tickType(), QValueAxis::TicksDynamic);
    EXPECT_DOUBLE_EQ(y->tickInterval() / (y->minorTickCount() + 1), 0.1);
    EXPECT_EQ(Series()->pen().color(), QColor(255, 0, 0));
    EXPECT_EQ(Series()->objectName(), QStringLiteral("serSigmoid"));
}

TEST_F(PageNetTest, TrackBarAtTheEndsRewritesTheSlopeAndTheCurve) {
    Track()->setValue(400);
    EXPECT_EQ(Alpha()->text(), QStringLiteral("4"));
    EXPECT_TRUE(Model().PageChanged());
    EXPECT_DOUBLE_EQ(Series()->at(16).y(), Sigmoid(4, -2));
    EXPECT_LT(Series()->at(16).y(), 0.001);
    EXPECT_GT(Series()->at(24).y(), 0.999);
    Track()->setValue(1);
    EXPECT_EQ(Alpha()->text(), QStringLiteral("0.01"));
    for (int i = 0; i < Series()->count(); ++i)
        EXPECT_NEAR(Series()->at(i).y(), 0.5, 0.03) << i;
    Track()->setValue(275);
    EXPECT_EQ(Alpha()->text(), QStringLiteral("2.75"));
}

TEST_F(PageNetTest, SlopeTypedWithEnterMovesTheTrackBarAndSelectsTheText) {
    TypeAlphaAndEnter(QStringLiteral("2"));
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_EQ(Track()->value(), 200);
    EXPECT_EQ(Alpha()->selectedText(), QStringLiteral("2"));
    EXPECT_DOUBLE_EQ(Series()->at(22).y(), Sigmoid(2, 1));
}

TEST_F(PageNetTest, SlopeOutOfRangeIsRefusedAndNothingMoves) {
    const QString range = QStringLiteral("Параметр должен быть в диапазоне 0.01..4");
    TypeAlphaAndEnter(QStringLiteral("5"));
    EXPECT_EQ(Dialogs.Errors, QStringList{range});
    EXPECT_EQ(Track()->value(), 50);
    EXPECT_EQ(Alpha()->text(), QStringLiteral("5"));
    EXPECT_EQ(Series()->at(22).y(), Sigmoid(0.5, 1));
    // "Далее >>" refuses it every time, with the message once a click, and the network keeps its slope.
    for (int click = 2; click <= 3; ++click) {
        Click("btnNext");
        EXPECT_EQ(Model().State(), 2);
        EXPECT_EQ(Dialogs.Errors, QStringList(click, range));
    }
    EXPECT_EQ(Model().Network().Alpha, 0.5);
    TypeAlphaAndEnter(QStringLiteral("0"));
    Click("btnNext");
    EXPECT_EQ(Model().State(), 2);
    EXPECT_EQ(Dialogs.Errors.size(), 5);
}

TEST_F(PageNetTest, SlopeThatIsNoNumberIsRefusedOnLeaving) {
    Type("edtAlpha", QStringLiteral("abc"));
    Find("seHideLayerCount")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Dialogs.Errors, QStringList{QStringLiteral("Параметр сигмоиды: «abc» — не число")});
    EXPECT_EQ(Track()->value(), 50);
}

TEST_F(PageNetTest, SlopeWithinATrackStepKeepsItsText) {
    TypeAlphaAndEnter(QStringLiteral("0.504"));
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_EQ(Track()->value(), 50);
    EXPECT_EQ(Alpha()->text(), QStringLiteral("0.504"));
    Click("btnNext"); // what the page shows is what the network gets
    EXPECT_EQ(Model().Network().Alpha, 0.504);
}

TEST_F(PageNetTest, MoreHiddenLayersAddNumberedEmptyRowsThatNextRefuses) {
    Find<QSpinBox>("seHideLayerCount")->setValue(3);
    ASSERT_EQ(Grid()->rowCount(), 4);
    EXPECT_EQ(Cell(2, 0), QStringLiteral("2"));
    EXPECT_EQ(Cell(3, 0), QStringLiteral("3"));
    EXPECT_TRUE(Cell(2, 1).isEmpty());
    EXPECT_TRUE(Cell(3, 1).isEmpty());
    Click("btnNext");
    EXPECT_EQ(Dialogs.Errors, QStringList{QStringLiteral("Скрытый слой 2, число нейронов: значение не указано")});
    EXPECT_EQ(Model().State(), 2);

    Grid()->item(2, 1)->setText(QStringLiteral("7"));
    Grid()->item(3, 1)->setText(QStringLiteral("5"));
    Click("btnNext");
    EXPECT_EQ(Model().State(), 3);
    ASSERT_EQ(Model().Network().CountLayers(), 5);
    EXPECT_EQ(Model().Network().GetLayerSize(2), 7);
    EXPECT_EQ(Model().Network().GetLayerSize(3), 5);
    EXPECT_EQ(Model().Network().GetLayerSize(4), 1);
}

TEST_F(PageNetTest, TypedNeuronCountReachesTheNetwork) {
    QTableWidgetItem* cell = Grid()->item(1, 1);
    Grid()->setFocus();
    Grid()->setCurrentItem(cell);
    EXPECT_FALSE(Model().PageChanged()); // selecting a cell is not a change
    QTest::keyClick(Grid(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("10"));
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, QStringLiteral("6"));
    EXPECT_EQ(editor->text(), QStringLiteral("6"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor commits after the key
    EXPECT_EQ(Cell(1, 1), QStringLiteral("6"));
    EXPECT_EQ(Model().NetPage().Cells[1], "6");
    EXPECT_TRUE(Model().PageChanged());
    Click("btnNext");
    EXPECT_EQ(Model().Network().GetLayerSize(1), 6);
}

TEST_F(PageNetTest, PassingThroughLeavesTheNetworkAsItWas) {
    double w = Model().Network().GetWeight(0, 0, 0);
    Click("btnNext");
    EXPECT_EQ(Model().State(), 3);
    EXPECT_EQ(Model().Network().GetWeight(0, 0, 0), w);
    EXPECT_EQ(Model().Network().Alpha, 0.5);
}

TEST_F(PageNetTest, FewerLayersGiveTheSmallerNetwork) {
    auto* spin = Find<QSpinBox>("seHideLayerCount");
    spin->setValue(3);
    spin->setValue(1);
    EXPECT_EQ(Grid()->rowCount(), 2);
    Click("btnNext");
    EXPECT_EQ(Model().Network().CountLayers(), 3);
    EXPECT_EQ(Model().Network().GetLayerSize(1), 10);
}

TEST_F(PageNetTest, ShowingAgainReloadsTheShapeAndTheSlopeFromTheNetwork) {
    Find<QSpinBox>("seHideLayerCount")->setValue(2);
    TypeAlphaAndEnter(QStringLiteral("1.5"));
    Click("btnPrev");
    Click("btnNext");
    EXPECT_EQ(Model().State(), 2);
    EXPECT_EQ(Find<QSpinBox>("seHideLayerCount")->value(), 1);
    EXPECT_EQ(Grid()->rowCount(), 2);
    EXPECT_EQ(Alpha()->text(), QStringLiteral("0.5"));
    EXPECT_EQ(Track()->value(), 50);
    EXPECT_FALSE(Model().PageChanged());
}
