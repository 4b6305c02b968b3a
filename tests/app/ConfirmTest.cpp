// The abort confirmation: its texts, where it appears, and Enter and Escape.
#include "app/Confirm.h"

#include <functional>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

TEST(Confirm, ShowsItsQuestionWithYesAsTheDefault)
{
    TFrmConfirm confirm;
    EXPECT_EQ(confirm.windowTitle().toStdString(), "Confirm");
    EXPECT_EQ(confirm.size(), QSize(377, 142));
    EXPECT_EQ(confirm.lbQuestion->text().toStdString(),
        "Are you sure you want to abort the current operation?");
    EXPECT_EQ(confirm.btYes->text().toStdString(), "&Yes");
    EXPECT_EQ(confirm.btNo->text().toStdString(), "&No");
    EXPECT_TRUE(confirm.btYes->isDefault());
    EXPECT_TRUE(confirm.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(Confirm, AnswersByKeyOrButtonAtTheGivenPlace)
{
    struct Case {
        const char* Name;
        QPoint At;
        std::function<void(TFrmConfirm&)> Answer;
        int Expected;
    };
    const Case cases[] = {
        { "enter", QPoint(120, 140), [](TFrmConfirm& d) { QTest::keyClick(&d, Qt::Key_Return); },
            kModalYes },
        { "escape", QPoint(-50, -30), [](TFrmConfirm& d) { QTest::keyClick(&d, Qt::Key_Escape); },
            kModalNo },
        { "no button", QPoint(0, 0), [](TFrmConfirm& d) { d.btNo->click(); }, kModalNo },
        { "yes button", QPoint(300, 20), [](TFrmConfirm& d) { d.btYes->click(); }, kModalYes },
        { "close box", QPoint(10, 10), [](TFrmConfirm& d) { d.close(); }, kModalNo },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TFrmConfirm confirm;
        QPoint shownAt;
        QTimer::singleShot(0, &confirm, [&] {
            shownAt = confirm.pos();
            c.Answer(confirm);
        });
        EXPECT_EQ(confirm.CenterAndShow(c.At.x(), c.At.y()), c.Expected);
        EXPECT_EQ(shownAt, c.At);
    }
}
