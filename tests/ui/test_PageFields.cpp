#include "UiTestSupport.h"
#include "support/WizardTestPeer.h"

#include "ui/PageFields.h"

#include <QGroupBox>
#include <QImage>
#include <QListWidget>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <algorithm>

using namespace nirvex;
using namespace nirvex::test;

namespace {

class PageFieldsTest : public testing::Test, public TWindowFixture {
protected:
    PageFieldsTest() { LoadIris(); }

    QListWidget* List() { return Find<QListWidget>("lbAvailableFields"); }
    void ClickEntry(int row) {
        QRect r = List()->visualItemRect(List()->item(row));
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, r.center());
    }
    void ClickRadio(const char* name) { QTest::mouseClick(Find<QRadioButton>(name), Qt::LeftButton, {}, QPoint(6, 8)); }
    bool Checked(const char* name) { return Find<QRadioButton>(name)->isChecked(); }
    bool Enabled(const char* name) { return Find(name)->isEnabled(); }
    // Types into a parameter edit and leaves it for the list.
    void EnterParam(const char* edit, const QString& text) {
        Type(edit, text);
        List()->setFocus(Qt::MouseFocusReason);
    }

    // One entry as painted: background at its right end and the darkest and dark-pixel count of its text.
    struct TEntryPixels {
        QColor Back;
        int Darkest = 255;
        int Ink = 0;
    };
    TEntryPixels Paint(int row) {
        QImage image = List()->viewport()->grab().toImage();
        QRect r = List()->visualItemRect(List()->item(row));
        TEntryPixels p;
        p.Back = image.pixelColor(r.right() - 2, r.center().y());
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x < r.left() + 100; ++x) {
                QColor c = image.pixelColor(x, y);
                int v = std::min({c.red(), c.green(), c.blue()});
                p.Darkest = std::min(p.Darkest, v);
                p.Ink += v < 160 ? 1 : 0;
            }
        return p;
    }
};

} // namespace

TEST_F(PageFieldsTest, ShowsTheFirstFieldSelected) {
    EXPECT_EQ(List()->currentRow(), 0);
    EXPECT_TRUE(List()->hasFocus());
    EXPECT_TRUE(Checked("rgUseFieldAs_0"));
    EXPECT_TRUE(Checked("rgNormalizeFieldAs_0"));
    EXPECT_EQ(Find<QLineEdit>("edtParmMin")->text(), QStringLiteral("4.3"));
    EXPECT_EQ(Find<QLineEdit>("edtParmMax")->text(), QStringLiteral("7.9"));
    EXPECT_EQ(Find<QLineEdit>("edtParmA")->text(), QStringLiteral("1"));
    EXPECT_TRUE(Enabled("edtParmMin"));
    EXPECT_FALSE(Enabled("edtParmA"));
    EXPECT_EQ(List()->visualItemRect(List()->item(1)).height(), 16);
}

TEST_F(PageFieldsTest, EntryLooksFollowRoleAndSelection) {
    TFieldItemLook look = FieldItemLook(TFieldRole::Input, true);
    EXPECT_EQ(look.Back, QColor(0, 0, 128));
    EXPECT_EQ(look.Text, QColor(255, 255, 255));
    look = FieldItemLook(TFieldRole::Unused, true);
    EXPECT_EQ(look.Text, QColor(128, 128, 128));
    EXPECT_FALSE(look.Bold);
    look = FieldItemLook(TFieldRole::Target, false);
    EXPECT_EQ(look.Back, QColor(255, 255, 255));
    EXPECT_EQ(look.Text, QColor(0, 0, 0));
    EXPECT_TRUE(look.Bold);
}

TEST_F(PageFieldsTest, ListPaintsSelectionUnusedAndTargetEntries) {
    EXPECT_EQ(Paint(0).Back, QColor(0, 0, 128));
    TEntryPixels regular = Paint(1);
    EXPECT_EQ(regular.Back, QColor(255, 255, 255));
    EXPECT_LT(regular.Darkest, 60);

    ClickEntry(1);
    ClickRadio("rgUseFieldAs_2");
    ClickEntry(0);
    TEntryPixels unused = Paint(1);
    EXPECT_EQ(unused.Back, QColor(255, 255, 255));
    EXPECT_GE(unused.Darkest, 120);
    EXPECT_LE(unused.Darkest, 136);

    ClickEntry(1);
    ClickRadio("rgUseFieldAs_1");
    ClickEntry(0);
    TEntryPixels bold = Paint(1);
    EXPECT_LT(bold.Darkest, 60);
    EXPECT_GT(bold.Ink, regular.Ink);
}

TEST_F(PageFieldsTest, NotUsedGreysOutTheMethodAndParametersButNotTheRole) {
    ClickRadio("rgUseFieldAs_2");
    EXPECT_EQ(Model().Fields()[0].FieldType, TFieldRole::Unused);
    EXPECT_TRUE(Model().PageChanged());
    EXPECT_TRUE(Enabled("rgUseFieldAs"));
    EXPECT_FALSE(Enabled("rgNormalizeFieldAs"));
    EXPECT_FALSE(Enabled("gbNormalizeParm"));
    ClickRadio("rgUseFieldAs_0");
    EXPECT_EQ(Model().Fields()[0].FieldType, TFieldRole::Input);
    EXPECT_TRUE(Enabled("rgNormalizeFieldAs"));
    EXPECT_TRUE(Enabled("gbNormalizeParm"));
}

TEST_F(PageFieldsTest, MethodClickSetsTheEditsAndAutoHasNone) {
    ClickRadio("rgNormalizeFieldAs_1");
    EXPECT_EQ(Model().Fields()[0].NormType, TNormMethod::Sigmoid);
    EXPECT_FALSE(Enabled("edtParmMin"));
    EXPECT_FALSE(Enabled("edtParmMax"));
    EXPECT_TRUE(Enabled("edtParmA"));
    ClickRadio("rgNormalizeFieldAs_2");
    EXPECT_EQ(Model().Fields()[0].NormType, TNormMethod::Auto);
    EXPECT_FALSE(Enabled("edtParmMin"));
    EXPECT_FALSE(Enabled("edtParmMax"));
    EXPECT_FALSE(Enabled("edtParmA"));
    ClickRadio("rgNormalizeFieldAs_0");
    EXPECT_TRUE(Enabled("edtParmMin"));
    ClickRadio("rgNormalizeFieldAs_2");
    EXPECT_FALSE(Enabled("edtParmMin"));
    ClickRadio("rgNormalizeFieldAs_3");
    EXPECT_FALSE(Enabled("edtParmMin"));
    EXPECT_FALSE(Enabled("edtParmA"));
    EXPECT_TRUE(Model().PageChanged());
}

TEST_F(PageFieldsTest, BrowsingTheListChangesNothing) {
    std::vector<TFieldRole> roles;
    std::vector<TNormMethod> methods;
    for (const TFieldInfo& f : Model().Fields()) {
        roles.push_back(f.FieldType);
        methods.push_back(f.NormType);
    }
    TWizardTestPeer::Fields(Model())[2].NormType = TNormMethod::None;
    methods[2] = TNormMethod::None;
    for (int row : {4, 2, 0, 3, 4}) {
        ClickEntry(row);
        EXPECT_EQ(List()->currentRow(), row);
    }
    EXPECT_TRUE(Checked("rgUseFieldAs_1"));
    EXPECT_FALSE(Model().PageChanged());
    for (std::size_t i = 0; i < roles.size(); ++i) {
        EXPECT_EQ(Model().Fields()[i].FieldType, roles[i]) << i;
        EXPECT_EQ(Model().Fields()[i].NormType, methods[i]) << i;
    }
    ClickEntry(2);
    EXPECT_TRUE(Checked("rgNormalizeFieldAs_3"));
    EXPECT_EQ(Window->StatusText(), QStringLiteral("Поле : PetalLength  MIN = 1 MAX = 6.9"));
}

TEST_F(PageFieldsTest, ParameterTextIsReadWithTheFullStop) {
    double min = Model().Fields()[0].Min;
    EnterParam("edtParmMax", QStringLiteral("0.5"));
    EXPECT_EQ(Model().Fields()[0].Max, 0.5);
    EXPECT_EQ(Model().Fields()[0].Min, min);
    EXPECT_TRUE(Model().PageChanged());
    EXPECT_EQ(Window->StatusText(), QStringLiteral("Поле : SepalLength  MIN = 4.3 MAX = 7.9"));
    EnterParam("edtParmMin", QStringLiteral("1e-3"));
    EXPECT_EQ(Model().Fields()[0].Min, 0.001);
    EnterParam("edtParmMin", QStringLiteral(" 2.5 "));
    EXPECT_EQ(Model().Fields()[0].Min, 2.5);
    EXPECT_EQ(Find<QLineEdit>("edtParmMin")->text(), QStringLiteral(" 2.5 "));
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(PageFieldsTest, ParameterThatIsNoNumberIsRefusedOnLeaving) {
    EnterParam("edtParmMax", QStringLiteral("1,5x"));
    EXPECT_EQ(Dialogs.Errors, QStringList{QStringLiteral("MAX поля SepalLength: «1,5x» — не число")});
    EXPECT_EQ(Model().Fields()[0].Max, 7.9);
    EXPECT_FALSE(Model().PageChanged());
    EXPECT_EQ(Find<QLineEdit>("edtParmMax")->text(), QStringLiteral("1,5x"));
    EnterParam("edtParmMax", QString());
    EXPECT_EQ(Dialogs.Errors.last(), QStringLiteral("MAX поля SepalLength: значение не указано"));
    EXPECT_EQ(Model().Fields()[0].Max, 7.9);
    // The next showing of the field overwrites the wrong text.
    ClickEntry(0);
    EXPECT_EQ(Find<QLineEdit>("edtParmMax")->text(), QStringLiteral("7.9"));
}

TEST_F(PageFieldsTest, FocusEnteringAParameterSelectsItsText) {
    QLineEdit* edit = Find<QLineEdit>("edtParmMin");
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(5, 10));
    QCoreApplication::processEvents();
    EXPECT_EQ(edit->selectedText(), QStringLiteral("4.3"));
}

TEST_F(PageFieldsTest, SmallBoundShowsInTheFiveDigitFormat) {
    TWizardTestPeer::Fields(Model())[3].Min = 0.00001234;
    ClickEntry(3);
    EXPECT_EQ(Find<QLineEdit>("edtParmMin")->text(), QStringLiteral("1.234E-5"));
}

TEST_F(PageFieldsTest, NextWithoutTargetsIsRefused) {
    ClickEntry(4);
    ClickRadio("rgUseFieldAs_0");
    Click("btnNext");
    EXPECT_EQ(Dialogs.Errors, QStringList{QStringLiteral("Не определены целевые поля")});
    EXPECT_EQ(Model().State(), 1);
}

TEST_F(PageFieldsTest, NextWithoutInputsIsRefused) {
    for (int row = 0; row < 4; ++row) {
        ClickEntry(row);
        ClickRadio("rgUseFieldAs_2");
    }
    Click("btnNext");
    EXPECT_EQ(Dialogs.Errors, QStringList{QStringLiteral("Не определены входные поля")});
}
