// Tests of the RAW parameters dialog: size derivation while typing, the depth change, the key
// filter, placement, and the ways the dialog ends.
#include "app/RawInfo.h"

#include <string>
#include <vector>

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "engine/EngineDialogs.h"

namespace {

/// Types text into the field one key at a time and returns the other field's text after
/// each key, so a derivation that fires too early or too late shows.
std::vector<std::string> TypeKeys(QLineEdit* field, QLineEdit* other, const std::string& text)
{
    std::vector<std::string> seen;
    for (char c : text) {
        QTest::keyClick(field, c);
        seen.push_back(other->text().toStdString());
    }
    return seen;
}

struct DeriveCase {
    const char* name;
    int64_t fileSize;
    bool sixteenBits;
    bool intoHeight; ///< type into the height field instead of the width field
    std::string typed;
    std::vector<std::string> otherAfterEachKey;
    std::string typedFieldAfter;
};

class RawInfoDerive : public testing::TestWithParam<DeriveCase> { };

TEST_P(RawInfoDerive, OtherSideFollowsTyping)
{
    const DeriveCase& c = GetParam();
    TFrmRawInfo dlg(nullptr);
    if (c.sixteenBits) {
        dlg.RB16bit->setChecked(true);
    }
    dlg.Prepare(c.fileSize, 0, 0, 0);
    QLineEdit* field = c.intoHeight ? dlg.EdHeight : dlg.edWidth;
    QLineEdit* other = c.intoHeight ? dlg.edWidth : dlg.EdHeight;
    field->clear();
    EXPECT_EQ(TypeKeys(field, other, c.typed), c.otherAfterEachKey);
    EXPECT_EQ(field->text().toStdString(), c.typedFieldAfter);
}

INSTANTIATE_TEST_SUITE_P(Table, RawInfoDerive,
    testing::Values(
        // 1,500,000 bytes at 8 bits hold 500,000 pixels.
        DeriveCase {
            "Width1000", 1500000, false, false, "1000", { "0", "0", "5000", "500" }, "1000" },
        DeriveCase { "Width1001KeepsHeight", 1500000, false, false, "1001",
            { "0", "0", "5000", "5000" }, "1001" },
        DeriveCase { "HeightGivesWidth", 1500000, false, true, "500", { "0", "0", "1000" }, "500" },
        // 16 bits: 250,000 pixels.
        DeriveCase { "SixteenBits", 1500000, true, false, "500", { "0", "0", "500" }, "500" },
        // 1,000,001 bytes hold 333,333 whole pixels; the odd byte is dropped.
        DeriveCase {
            "SizeNotMultipleOf3", 1000001, false, false, "333", { "0", "0", "1001" }, "333" },
        // Above 100,000,000 the field is set to the cap; the cap does not divide.
        DeriveCase { "CapAt100000000", 1500000, false, false, "999999999",
            { "0", "0", "0", "0", "0", "0", "0", "0", "0" }, "100000000" },
        // A derived side must stay below the cap: 100 x 100,000,000 is not offered.
        DeriveCase {
            "DerivedSideBelowCap", 30000000000, false, false, "100", { "0", "0", "0" }, "100" },
        // A file without a whole pixel: every width >= 100 divides 0 and gives height 0.
        DeriveCase { "NoWholePixel", 2, false, false, "100", { "0", "0", "0" }, "100" }),
    [](const testing::TestParamInfo<DeriveCase>& info) { return info.param.name; });

TEST(RawInfo, DepthChangeRederivesFromWidth)
{
    TFrmRawInfo dlg(nullptr);
    dlg.Prepare(1500000, 0, 0, 0);
    dlg.edWidth->setText("1000");
    EXPECT_EQ(dlg.EdHeight->text(), "500");
    dlg.RB16bit->setChecked(true);
    EXPECT_EQ(dlg.NumPixel, 250000);
    EXPECT_EQ(dlg.EdHeight->text(), "250");
    dlg.RB8bit->setChecked(true);
    EXPECT_EQ(dlg.NumPixel, 500000);
    EXPECT_EQ(dlg.EdHeight->text(), "500");
}

TEST(RawInfo, PrepareShowsSizeAndKeepsStateBetweenUses)
{
    QWidget mainWindow;
    mainWindow.move(300, 200);
    TFrmRawInfo dlg(&mainWindow);
    // A name with a size that does not fit the file: its width is shown and derived from.
    dlg.Prepare(300000000, 1000, 400, 0);
    EXPECT_EQ(dlg.pos(), QPoint(320, 220));
    EXPECT_EQ(dlg.lblSize->text(), "300.000.000");
    EXPECT_EQ(dlg.NumPixel, 100000000);
    EXPECT_EQ(dlg.edWidth->text(), "1000");
    EXPECT_EQ(dlg.EdHeight->text(), "100000");

    // Next use, 16 bits chosen and no size in the name: width and depth stay, height resets
    // and is derived again.
    dlg.RB16bit->setChecked(true);
    dlg.EdHeight->setText("7");
    mainWindow.move(-50, 10);
    dlg.Prepare(6000000, 0, 0, 0);
    EXPECT_EQ(dlg.pos(), QPoint(-30, 30));
    EXPECT_EQ(dlg.ChosenBits(), 16);
    EXPECT_EQ(dlg.NumPixel, 1000000);
    EXPECT_EQ(dlg.edWidth->text(), "1000");
    EXPECT_EQ(dlg.EdHeight->text(), "1000");

    // Width from the name but no height: the name's width is not used.
    dlg.edWidth->setText("50");
    dlg.Prepare(6000000, 2000, 0, 0);
    EXPECT_EQ(dlg.edWidth->text(), "50");
    EXPECT_EQ(dlg.EdHeight->text(), "0");
}

struct KeyCase {
    const char* name;
    int key;
    int textLength;
    bool hasSelection;
    bool passes;
};

TEST(RawInfo, KeyFilter)
{
    const KeyCase cases[] = {
        { "digit", Qt::Key_5, 0, false, true },
        { "digit at 8 chars", Qt::Key_0, 8, false, true },
        { "digit at 9 chars", Qt::Key_9, 9, false, false },
        { "digit at 9 chars, selected", Qt::Key_9, 9, true, true },
        { "backspace at 9", Qt::Key_Backspace, 9, false, true },
        { "delete at 9", Qt::Key_Delete, 9, false, true },
        { "tab at 9", Qt::Key_Tab, 9, false, true },
        { "shift tab at 9", Qt::Key_Backtab, 9, false, true },
        { "home", Qt::Key_Home, 12, false, true },
        { "end", Qt::Key_End, 3, false, true },
        { "left", Qt::Key_Left, 3, false, true },
        { "right", Qt::Key_Right, 3, false, true },
        { "up", Qt::Key_Up, 3, false, false },
        { "down", Qt::Key_Down, 3, false, false },
        { "enter", Qt::Key_Return, 3, false, false },
        { "keypad enter", Qt::Key_Enter, 3, false, false },
        { "escape", Qt::Key_Escape, 3, false, false },
        { "letter", Qt::Key_A, 0, false, false },
        { "minus", Qt::Key_Minus, 0, false, false },
        { "space", Qt::Key_Space, 0, false, false },
        { "exclamation (shift 1)", Qt::Key_Exclam, 0, false, false },
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TFrmRawInfo::KeyPasses(c.key, c.textLength, c.hasSelection), c.passes);
    }
}

TEST(RawInfo, KeyFilterActsOnBothFields)
{
    TFrmRawInfo dlg(nullptr);
    dlg.Prepare(1500000, 0, 0, 0);
    for (QLineEdit* field : { dlg.edWidth, dlg.EdHeight }) {
        SCOPED_TRACE(field == dlg.edWidth ? "width" : "height");
        field->setText("12");
        field->end(false);
        QTest::keyClicks(field, "a-. ");
        QTest::keyClick(field, Qt::Key_3, Qt::KeypadModifier);
        EXPECT_EQ(field->text(), "123");
        // Nine digits are at least the cap, so the cap is the one full text that stays.
        field->setText("100000000");
        field->end(false);
        QTest::keyClick(field, Qt::Key_4);
        EXPECT_EQ(field->text(), "100000000");
        QTest::keyClick(field, Qt::Key_Backspace);
        EXPECT_EQ(field->text(), "10000000");
        field->selectAll();
        QTest::keyClick(field, Qt::Key_7);
        EXPECT_EQ(field->text(), "7");
    }
}

TEST(RawInfo, ConfirmOnlyWhenProductMatches)
{
    TFrmRawInfo dlg(nullptr);
    dlg.Prepare(1500000, 0, 0, 0);
    dlg.show();
    dlg.edWidth->setText("1001");
    dlg.SpeedButton1Click();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.ImgWidth, 0u);

    // A width below 100 derives nothing but is accepted with a matching height.
    dlg.edWidth->setText("50");
    dlg.EdHeight->setText("10000");
    dlg.SpeedButton1Click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.ImgWidth, 50u);
    EXPECT_EQ(dlg.ImgHeight, 10000u);
}

TEST(RawInfo, NegativeSidesAreNeverConfirmed)
{
    // The key filter keeps the minus sign out, but pasting does not go through it.
    TFrmRawInfo dlg(nullptr);
    dlg.Prepare(1500000, 0, 0, 0);
    dlg.show();
    dlg.edWidth->setText("-1000");
    dlg.EdHeight->setText("-500");
    dlg.SpeedButton1Click();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.ImgWidth, 0u);
    dlg.SpeedButton2Click();
}

/// Runs Ask with the given user actions played once the dialog is shown.
template <typename Actions>
bool AskWith(TFrmRawInfo& dlg, int64_t size, TRawParameters& answer, Actions actions)
{
    QTimer::singleShot(0, &dlg, actions);
    return dlg.Ask(size, 0, 0, 0, answer);
}

TEST(RawInfo, AskConfirmed)
{
    TFrmRawInfo dlg(nullptr);
    TRawParameters answer;
    bool stayedOpen = false;
    const bool confirmed = AskWith(dlg, 1500000, answer, [&] {
        dlg.edWidth->clear();
        QTest::keyClicks(dlg.edWidth, "1001");
        QTest::mouseClick(dlg.SpeedButton1, Qt::LeftButton);
        stayedOpen = dlg.isVisible();
        QTest::keyClick(dlg.edWidth, Qt::Key_Backspace);
        QTest::keyClick(dlg.edWidth, Qt::Key_0);
        QTest::mouseClick(dlg.SpeedButton1, Qt::LeftButton);
    });
    EXPECT_TRUE(stayedOpen);
    ASSERT_TRUE(confirmed);
    EXPECT_EQ(answer.Width, 1000u);
    EXPECT_EQ(answer.Height, 500u);
    EXPECT_EQ(answer.Bits, 8);
}

TEST(RawInfo, AskCancelledByButtonCloseBoxButNotByKeys)
{
    struct Case {
        const char* name;
        void (*end)(TFrmRawInfo&);
    };
    const Case cases[] = {
        { "cancel button",
            [](TFrmRawInfo& d) { QTest::mouseClick(d.SpeedButton2, Qt::LeftButton); } },
        { "close box", [](TFrmRawInfo& d) { d.close(); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TFrmRawInfo dlg(nullptr);
        TRawParameters answer { 1, 2, 8 };
        bool openAfterKeys = false;
        const bool confirmed = AskWith(dlg, 1500000, answer, [&] {
            // A matching size is typed, so only the end action decides.
            dlg.edWidth->setText("1000");
            QTest::keyClick(&dlg, Qt::Key_Escape);
            QTest::keyClick(&dlg, Qt::Key_Return);
            QTest::keyClick(dlg.RB8bit, Qt::Key_Escape);
            openAfterKeys = dlg.isVisible();
            c.end(dlg);
        });
        EXPECT_TRUE(openAfterKeys);
        EXPECT_FALSE(confirmed);
        EXPECT_EQ(answer.Width, 0u);
        EXPECT_EQ(answer.Height, 0u);
        EXPECT_EQ(dlg.ImgWidth, 0u);
        EXPECT_EQ(dlg.ImgHeight, 0u);
    }
}

TEST(RawInfo, ImageButtonsTakeNoFocus)
{
    TFrmRawInfo dlg(nullptr);
    EXPECT_EQ(dlg.SpeedButton1->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(dlg.SpeedButton2->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(dlg.SpeedButton1->text().isEmpty());
    EXPECT_FALSE(dlg.SpeedButton1->icon().isNull());
}

} // namespace
