// Values and attributes as the logic reads and writes them.
#include "app/ring_tables.h"
#include "chart/panel/ids/chart_panel.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/ids/wait_panel.h"
#include "support/gui_fixture.h"
#include "widgets/ring.h"

#include <QComboBox>
#include <QLocale>
#include <QSpinBox>
#include <QStandardItemModel>

namespace {

class WidgetValues : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        main = load(MainPanel::file);
    }
    int main = 0;
};

TEST_F(WidgetValues, RingSpeaksCodesNotIndexes) {
    ASSERT_EQ(SetCtrlVal(main, MainPanel::portSelector, 7), 0);
    int code = 0;
    ASSERT_EQ(GetCtrlVal(main, MainPanel::portSelector, &code), 0);
    EXPECT_EQ(code, 7);
    auto* ring = qobject_cast<QComboBox*>(controlWidget(main, MainPanel::portSelector));
    EXPECT_EQ(ring->currentIndex(), 6);
    // Relabelling an item keeps its code.
    ASSERT_EQ(setRingItemText(main, MainPanel::portSelector, 7, "COM7  (/dev/pts/3)"), 0);
    std::string text;
    GetCtrlVal(main, MainPanel::portSelector, &text);
    EXPECT_EQ(text, "COM7  (/dev/pts/3)");

    // A code the ring lacks gets an item in the order of the codes, and
    // the selection stays where it was.
    ASSERT_EQ(setRingItemText(main, MainPanel::portSelector, 20, "COM20"), 0);
    ASSERT_EQ(setRingItemText(main, MainPanel::portSelector, 18, "COM18"), 0);
    EXPECT_EQ(ring->itemData(16).toInt(), 18);
    EXPECT_EQ(ring->itemData(17).toInt(), 20);
    GetCtrlVal(main, MainPanel::portSelector, &code);
    EXPECT_EQ(code, 7);
    // One shown as unknown becomes an item like the others.
    ASSERT_EQ(SetCtrlVal(main, MainPanel::portSelector, 19), 0);
    GetCtrlVal(main, MainPanel::portSelector, &text);
    EXPECT_EQ(text, "19 (unknown)");
    ASSERT_EQ(setRingItemText(main, MainPanel::portSelector, 19, "COM19"), 0);
    GetCtrlVal(main, MainPanel::portSelector, &text);
    EXPECT_EQ(text, "COM19");
    EXPECT_EQ(ring->currentIndex(), 17);
    EXPECT_EQ(ring->count(), 19);
}

TEST_F(WidgetValues, NumbersConvertBetweenTypes) {
    ASSERT_EQ(SetCtrlVal(main, MainPanel::idNumeric, 12.6), 0); // rounds into the int field
    unsigned char id = 0;
    GetCtrlVal(main, MainPanel::idNumeric, &id);
    EXPECT_EQ(id, 13);
    double d = 0;
    GetCtrlVal(main, MainPanel::idNumeric, &d);
    EXPECT_EQ(d, 13.0);
    int v = 0;
    SetCtrlVal(main, MainPanel::connectionLed, 5);
    GetCtrlVal(main, MainPanel::connectionLed, &v);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(SetCtrlVal(main, MainPanel::idNumeric, std::string("33")), 0);
    GetCtrlVal(main, MainPanel::idNumeric, &v);
    EXPECT_EQ(v, 33);
    EXPECT_LT(SetCtrlVal(main, MainPanel::idNumeric, std::string("abc")), 0);
}

// A code no item carries is shown as itself, in an item the operator cannot
// pick, and read back as the code; it goes once a known code is shown.
TEST_F(WidgetValues, RingShowsAnUnknownCodeAsItself) {
    registerChoiceTables();
    main = load(MainPanel::file); // its rings filled from the tables
    auto* ring = qobject_cast<QComboBox*>(controlWidget(main, MainPanel::sensorRing));
    const int items = ring->count();
    ASSERT_EQ(SetCtrlVal(main, MainPanel::sensorRing, 99), 0);
    std::string text;
    int code = 0;
    GetCtrlVal(main, MainPanel::sensorRing, &text);
    GetCtrlVal(main, MainPanel::sensorRing, &code);
    EXPECT_EQ(text, "99 (unknown)");
    EXPECT_EQ(code, 99);
    ASSERT_EQ(ring->count(), items + 1);
    const auto* model = qobject_cast<QStandardItemModel*>(ring->model());
    ASSERT_NE(model, nullptr);
    EXPECT_FALSE(model->item(items)->isEnabled()) << "the operator cannot pick it";
    EXPECT_FALSE(model->item(items)->isSelectable());

    // Another unknown code replaces it rather than piling up.
    SetCtrlVal(main, MainPanel::sensorRing, -3);
    GetCtrlVal(main, MainPanel::sensorRing, &text);
    EXPECT_EQ(text, "-3 (unknown)");
    EXPECT_EQ(ring->count(), items + 1);

    // A known code, shown by the logic or picked by the operator, removes it.
    SetCtrlVal(main, MainPanel::sensorRing, 5);
    GetCtrlVal(main, MainPanel::sensorRing, &code);
    EXPECT_EQ(code, 5);
    EXPECT_EQ(ring->count(), items);
    SetCtrlVal(main, MainPanel::sensorRing, 99);
    ring->setCurrentIndex(0); // as the operator's pick does
    EXPECT_EQ(ring->count(), items);
    GetCtrlVal(main, MainPanel::sensorRing, &code);
    EXPECT_EQ(code, qobject_cast<Ring*>(ring)->codeAt(0));
}

// A spin box shows a number outside its range as given; the range still
// bounds what the operator enters, and narrows back once the value is inside.
TEST_F(WidgetValues, SpinBoxShowsANumberOutsideItsRange) {
    const CtrlId cycle = MainPanel::cycleTimeNumeric; // entry range 1..60
    ASSERT_EQ(SetCtrlVal(main, cycle, 0), 0);
    int v = -1;
    std::string text;
    GetCtrlVal(main, cycle, &v);
    GetCtrlVal(main, cycle, &text);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(text, "0 s");
    double lo = 0, hi = 0;
    GetCtrlAttribute(main, cycle, ATTR_MIN_VALUE, &lo);
    GetCtrlAttribute(main, cycle, ATTR_MAX_VALUE, &hi);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 60);

    // The operator steps into the range: the range is the entry's again.
    auto* box = qobject_cast<QSpinBox*>(controlWidget(main, cycle));
    box->stepUp();
    EXPECT_EQ(box->value(), 1);
    EXPECT_EQ(box->minimum(), 1);

    // So it is when the logic shows a value inside it; new limits keep the value shown.
    SetCtrlVal(main, cycle, 500);
    SetCtrlVal(main, cycle, 20);
    EXPECT_EQ(box->maximum(), 60);
    SetCtrlVal(main, MainPanel::svEntry, 5000.0);
    SetCtrlAttribute(main, MainPanel::svEntry, ATTR_MAX_VALUE, 3276.7);
    double sv = 0;
    GetCtrlVal(main, MainPanel::svEntry, &sv);
    EXPECT_EQ(sv, 5000.0);
    GetCtrlAttribute(main, MainPanel::svEntry, ATTR_MAX_VALUE, &hi);
    EXPECT_DOUBLE_EQ(hi, 3276.7);
}

TEST_F(WidgetValues, TextKeepsTabsAndBreaks) {
    const int wait = load(WaitPanel::file);
    const std::string text = "line 1\tcol\nline 2";
    ASSERT_EQ(SetCtrlVal(wait, WaitPanel::waitLabel, text), 0);
    std::string back;
    GetCtrlVal(wait, WaitPanel::waitLabel, &back);
    EXPECT_EQ(back, text);
}

TEST_F(WidgetValues, AttributesRoundTrip) {
    struct Case {
        CtrlId control;
        int attribute;
        double value;
    };
    const Case cases[] = {
        {MainPanel::idNumeric, ATTR_DIMMED, 1},      {MainPanel::idNumeric, ATTR_DIMMED, 0},
        {MainPanel::idNumeric, ATTR_VISIBLE, 0},     {MainPanel::idNumeric, ATTR_VISIBLE, 1},
        {MainPanel::idNumeric, ATTR_CTRL_MODE, 0},   {MainPanel::idNumeric, ATTR_CTRL_MODE, 1},
        {MainPanel::aboutButton, ATTR_CTRL_MODE, 0}, {MainPanel::pvPollTimer, ATTR_INTERVAL, 0.25},
        {MainPanel::pvPollTimer, ATTR_ENABLED, 1},   {MainPanel::pvPollTimer, ATTR_ENABLED, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.control) + " attr " + std::to_string(c.attribute));
        ASSERT_EQ(SetCtrlAttribute(main, c.control, c.attribute, c.value), 0);
        double got = -1;
        ASSERT_EQ(GetCtrlAttribute(main, c.control, c.attribute, &got), 0);
        EXPECT_DOUBLE_EQ(got, c.value);
    }
    const int chart = load(ChartPanel::file);
    for (auto [attr, value] : {std::pair{ATTR_XAXIS_GAIN, 2.5}, {ATTR_POINTS_PER_SCREEN, 30.0}}) {
        ASSERT_EQ(SetCtrlAttribute(chart, ChartPanel::stripChart, attr, value), 0);
        double got = 0;
        GetCtrlAttribute(chart, ChartPanel::stripChart, attr, &got);
        EXPECT_DOUBLE_EQ(got, value);
    }
    // Attributes that make no sense for a control are refused, not faked.
    EXPECT_EQ(SetCtrlAttribute(main, MainPanel::aboutButton, ATTR_INTERVAL, 1), kPanelBadAttribute);
    EXPECT_EQ(SetCtrlAttribute(main, MainPanel::idNumeric, 9999, 1), kPanelBadAttribute);
}

// The desktop's locale never changes a typed number: on a German desktop
// Qt's own spin box took "25.5" for 255, and "," is a group separator elsewhere.
TEST_F(WidgetValues, EntriesReadTypedNumbersAlikeOnEveryDesktop) {
    const QLocale desktop;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const int german = load(MainPanel::file);
    QLocale::setDefault(desktop);
    SetCtrlAttribute(german, MainPanel::hiLimitNumeric, ATTR_PRECISION, 1);
    SetCtrlAttribute(german, MainPanel::hiLimitNumeric, ATTR_DIMMED, 0); // as once connected
    for (const char* typed : {"25.5", "25,5", "25.54"}) {
        typeAndEnter(german, MainPanel::hiLimitNumeric, typed);
        double v = 0;
        std::string shown;
        GetCtrlVal(german, MainPanel::hiLimitNumeric, &v);
        GetCtrlVal(german, MainPanel::hiLimitNumeric, &shown);
        EXPECT_NEAR(v, 25.5, 0.05) << typed;
        EXPECT_EQ(shown, "25.5") << typed;
    }
    SetCtrlVal(german, MainPanel::hiLimitNumeric, 1234.5);
    std::string shown;
    GetCtrlVal(german, MainPanel::hiLimitNumeric, &shown);
    EXPECT_EQ(shown, "1234.5") << "no digit grouping, a decimal point";
    EXPECT_TRUE(popups.shown.empty());
}

} // namespace

namespace {

// A control that shows no value shows a mark, not the number it holds
// unseen; the next value set, stepped to or picked is shown again.
TEST_F(WidgetValues, NoValueUntilTheLogicOrTheOperatorGivesOne) {
    auto showsValue = [&](CtrlId c) {
        double v = -1;
        EXPECT_EQ(GetCtrlAttribute(main, c, ATTR_SHOWS_VALUE, &v), 0);
        return v != 0;
    };
    auto text = [&](CtrlId c) {
        std::string t;
        GetCtrlVal(main, c, &t);
        return t;
    };
    // Marked in the panel file: empty from the start.
    EXPECT_FALSE(showsValue(MainPanel::hiLimitNumeric));
    EXPECT_EQ(text(MainPanel::outputLevelNumeric), "\u2014 %");
    EXPECT_FALSE(showsValue(MainPanel::unitRing));
    int code = 0;
    GetCtrlVal(main, MainPanel::unitRing, &code);
    EXPECT_EQ(code, -1) << "no item, no code";

    SetCtrlVal(main, MainPanel::outputLevelNumeric, 40.0);
    EXPECT_TRUE(showsValue(MainPanel::outputLevelNumeric));
    EXPECT_EQ(text(MainPanel::outputLevelNumeric), "40.0 %");
    ASSERT_EQ(ClearCtrlVal(main, MainPanel::outputLevelNumeric), 0);
    EXPECT_EQ(text(MainPanel::outputLevelNumeric), "\u2014 %");
    SetCtrlVal(main, MainPanel::outputLevelNumeric, 40.0); // the same number shows again
    EXPECT_EQ(text(MainPanel::outputLevelNumeric), "40.0 %");

    // The operator steps an empty entry: the stepped number is theirs and shows.
    ClearCtrlVal(main, MainPanel::cycleTimeNumeric);
    SetCtrlAttribute(main, MainPanel::cycleTimeNumeric, ATTR_DIMMED, 0);
    qobject_cast<QSpinBox*>(controlWidget(main, MainPanel::cycleTimeNumeric))->stepBy(1);
    EXPECT_TRUE(showsValue(MainPanel::cycleTimeNumeric));
    EXPECT_EQ(text(MainPanel::cycleTimeNumeric), "16 s");

    SetCtrlVal(main, MainPanel::unitRing, 1);
    EXPECT_TRUE(showsValue(MainPanel::unitRing));
    EXPECT_EQ(ClearCtrlVal(main, MainPanel::aboutButton), kPanelBadValue)
        << "a button has no value";
}

} // namespace
