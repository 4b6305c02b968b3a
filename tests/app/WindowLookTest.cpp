// How the window looks whatever the desktop: text on the panels it paints itself stays dark
// under a dark palette while buttons and editable fields follow the palette, and an enlarged
// window stretches its path fields and information box and keeps everything else in place.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "WindowFakes.h"
#include "app/Confirm.h"
#include "app/NumberEdit.h"
#include "app/Progress.h"
#include "app/RawInfo.h"

namespace {

/// WCAG's relative luminance of an sRGB colour.
double Luminance(const QColor& c)
{
    const auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

/// WCAG's contrast ratio, 1 (none) to 21 (black on white).
double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// WCAG's minimum for text. Disabled text is exempt there; it must still be seen, so it gets
// the minimum for large text.
constexpr double kTextContrast = 4.5;
constexpr double kDisabledContrast = 3.0;

/// A palette like GTK's Adwaita dark: light text on dark grey.
QPalette DarkPalette()
{
    const QColor light(238, 238, 236);
    const QColor dim(145, 145, 144);
    QPalette p;
    for (const QPalette::ColorGroup g : { QPalette::Active, QPalette::Inactive }) {
        p.setColor(g, QPalette::Window, QColor(53, 53, 53));
        p.setColor(g, QPalette::WindowText, light);
        p.setColor(g, QPalette::Base, QColor(45, 45, 45));
        p.setColor(g, QPalette::Text, light);
        p.setColor(g, QPalette::Button, QColor(60, 60, 60));
        p.setColor(g, QPalette::ButtonText, light);
        p.setColor(g, QPalette::Highlight, QColor(21, 83, 158));
        p.setColor(g, QPalette::HighlightedText, Qt::white);
    }
    p.setColor(QPalette::Disabled, QPalette::Window, QColor(53, 53, 53));
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(45, 45, 45));
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(60, 60, 60));
    for (const QPalette::ColorRole r :
        { QPalette::WindowText, QPalette::Text, QPalette::ButtonText }) {
        p.setColor(QPalette::Disabled, r, dim);
    }
    return p;
}

/// The application's palette for the life of the object.
class TAppPalette {
public:
    explicit TAppPalette(const QPalette& palette)
        : FSaved(QApplication::palette())
    {
        QApplication::setPalette(palette);
    }
    ~TAppPalette() { QApplication::setPalette(FSaved); }

private:
    QPalette FSaved;
};

/// The colour behind w: that of the nearest of w and its parents that paints its background.
QColor BackgroundOf(const QWidget* w, QPalette::ColorGroup group)
{
    for (const QWidget* p = w; p != nullptr; p = p->parentWidget()) {
        if (p->autoFillBackground() || p->isWindow()) {
            return p->palette().color(group, p->backgroundRole());
        }
    }
    return QApplication::palette().color(group, QPalette::Window);
}

bool DrawsTextOnItsParent(const QWidget* w)
{
    return qobject_cast<const QLabel*>(w) || qobject_cast<const QRadioButton*>(w)
        || qobject_cast<const QCheckBox*>(w) || qobject_cast<const QGroupBox*>(w)
        || qobject_cast<const QStatusBar*>(w);
}

std::string NameOf(const QWidget* w)
{
    std::string name = w->metaObject()->className();
    if (const auto* l = qobject_cast<const QLabel*>(w)) {
        name += " \"" + l->text().toStdString() + "\"";
    } else if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
        name += " \"" + b->text().toStdString() + "\"";
    } else if (const auto* g = qobject_cast<const QGroupBox*>(w)) {
        name += " \"" + g->title().toStdString() + "\"";
    }
    return name;
}

/// Every label, radio button, check box, group title and status bar in root must stand out
/// from the panel behind it; read-only grey fields likewise; buttons and editable fields keep
/// the application's palette.
void ExpectReadable(QWidget* root, const std::vector<const QWidget*>& exceptions = {})
{
    QList<QWidget*> all = root->findChildren<QWidget*>();
    all.push_back(root);
    int texts = 0;
    for (const QWidget* w : all) {
        SCOPED_TRACE(NameOf(w));
        const QPalette::ColorGroup group = w->isEnabled() ? QPalette::Active : QPalette::Disabled;
        const double least = w->isEnabled() ? kTextContrast : kDisabledContrast;
        const bool excepted =
            std::find(exceptions.begin(), exceptions.end(), w) != exceptions.end();
        if (DrawsTextOnItsParent(w)) {
            ++texts;
            const QColor text = w->palette().color(group, w->foregroundRole());
            const QColor behind = BackgroundOf(w, group);
            EXPECT_GE(Contrast(text, behind), excepted ? kDisabledContrast : least)
                << text.name().toStdString() << " on " << behind.name().toStdString();
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
            const QPalette mine = edit->palette();
            const QPalette system = QApplication::palette(edit);
            if (mine.color(group, QPalette::Base) != system.color(group, QPalette::Base)) {
                EXPECT_TRUE(edit->isReadOnly()) << "only read-only fields are painted grey";
            } else {
                EXPECT_EQ(mine.color(group, QPalette::Text), system.color(group, QPalette::Text));
            }
            EXPECT_GE(
                Contrast(mine.color(group, QPalette::Text), mine.color(group, QPalette::Base)),
                least);
        } else if (qobject_cast<const QPushButton*>(w) || qobject_cast<const QToolButton*>(w)) {
            const QPalette system = QApplication::palette(w);
            for (const QPalette::ColorRole role : { QPalette::Button, QPalette::ButtonText }) {
                EXPECT_EQ(w->palette().color(group, role), system.color(group, role));
            }
        }
    }
    EXPECT_GT(texts, 0);
}

struct TLook {
    const char* Name;
    bool Dark;
};
const TLook kLooks[] = { { "light", false }, { "dark", true } };

} // namespace

TEST(WindowLook, TextOnThePaintedPanelsStandsOutUnderLightAndDarkPalettes)
{
    for (const TLook& look : kLooks) {
        SCOPED_TRACE(look.Name);
        TAppPalette palette(look.Dark ? DarkPalette() : QApplication::palette());
        TWindowFixture f;
        TFrmMain& w = f.W();
        w.ShowPanel(TPanel::Resize);
        w.ShowStatus("Image is valid");
        // The update result is red, as designed; it is bold and 15 pixels high, large enough
        // for the lower contrast red has on the panel.
        {
            SCOPED_TRACE("idle");
            ExpectReadable(&w, { w.lbNewVersion });
        }
        {
            SCOPED_TRACE("during a job, paused");
            w.ShowProgressPanel(100, "Step 2/4");
            w.SetProgressPaused(true);
            w.DisableButtons();
            ExpectReadable(&w, { w.lbNewVersion });
            w.SetProgressPaused(false);
            ExpectReadable(w.PProgress);
        }
        {
            SCOPED_TRACE("raw parameters and confirmation");
            TFrmRawInfo rawInfo(&w);
            ExpectReadable(&rawInfo);
            TFrmConfirm confirm(&w);
            ExpectReadable(&confirm);
        }
    }
}

TEST(WindowLook, DarkPaletteLabelsArePaintedDark)
{
    // What the palette promises must reach the pixels: the darkest point of a caption is
    // darker than the panel by far, where the palette's own light text would give none.
    TAppPalette palette(DarkPalette());
    TWindowFixture f;
    TFrmMain& w = f.W();
    w.ShowPanel(TPanel::Crop);
    w.ShowStatus("Image is valid");
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QImage shot = w.grab().toImage();
    // Captions only: a radio button's or a group's own dark parts would pass for text.
    const QWidget* captions[] = { w.lbInputFile, w.StatusBar };
    for (const QWidget* c : captions) {
        SCOPED_TRACE(NameOf(c));
        const QRect place = QRect(c->mapTo(&w, QPoint(0, 0)), c->size()) & shot.rect();
        const QColor behind = BackgroundOf(c, QPalette::Active);
        double best = 1;
        for (int y = place.top(); y <= place.bottom(); ++y) {
            for (int x = place.left(); x <= place.right(); ++x) {
                const QColor pixel = shot.pixelColor(x, y);
                if (Luminance(pixel) < Luminance(behind)) {
                    best = std::max(best, Contrast(pixel, behind));
                }
            }
        }
        EXPECT_GE(best, kTextContrast);
    }
}

TEST(WindowLook, OpensAtItsDesignedSizeWhichIsAlsoItsSmallest)
{
    TWindowFixture f;
    TFrmMain& w = f.W();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.size(), QSize(426, 608));
    w.resize(300, 400);
    EXPECT_EQ(w.size(), QSize(426, 608));
}

TEST(WindowLook, AnEnlargedWindowStretchesThePathFieldsAndTheInformationBox)
{
    TWindowFixture f;
    TFrmMain& w = f.W();
    w.ShowPanel(TPanel::Convert);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const int dx = 250;
    const int dy = 90;
    struct Case {
        const char* Name;
        QWidget* Widget;
        QRect Enlarged; ///< its place in the window 250 wider and 90 taller
    };
    const Case cases[] = {
        { "input field", w.EditInputFile, QRect(9, 22, 385 + dx, 22) },
        { "input button", w.sbInput, QRect(396 + dx, 22, 22, 22) },
        { "information box", w.Panel4, QRect(9, 56, 408 + dx, 78) },
        { "its header", w.lbInfo, QRect(0, 3, 408 + dx, 14) },
        { "output field", w.EditOutputFolder, QRect(9, 78, 385 + dx, 22) },
        { "output button", w.sbOutputFolder, QRect(396 + dx, 78, 22, 22) },
        { "status bar", w.StatusBar, QRect(0, 589 + dy, 426 + dx, 19) },
        // The rest keeps its place.
        { "button row", w.PButtons, w.PButtons->geometry() },
        { "Convert", w.btConvert, w.btConvert->geometry() },
        { "About", w.btAbout, w.btAbout->geometry() },
        { "operation area", w.PMain, w.PMain->geometry() },
        { "width caption", w.lbWidth, w.lbWidth->geometry() },
        { "Start", w.btStart, w.btStart->geometry() },
        { "progress", w.PProgress, w.PProgress->geometry() },
        { "About panel", w.PAbout, w.PAbout->geometry() },
    };
    w.resize(426 + dx, 608 + dy);
    QCoreApplication::processEvents();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.Widget->geometry(), c.Enlarged);
    }
    // The input and output bands are as wide as the window, so nothing stretched is cut off.
    EXPECT_EQ(w.PInput->width(), 426 + dx);
    EXPECT_EQ(w.POutput->width(), 426 + dx);

    // Back at its smallest, everything is where it was designed to be.
    w.resize(426, 608);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.EditInputFile->geometry(), QRect(9, 22, 385, 22));
    EXPECT_EQ(w.sbOutputFolder->geometry(), QRect(396, 78, 22, 22));
    EXPECT_EQ(w.StatusBar->geometry(), QRect(0, 589, 426, 19));
}
