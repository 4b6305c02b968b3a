// Renders the main window with each panel, the progress panel (running and paused), the
// abort confirmation, the enlarged window and the RAW parameters dialog to PNG files, so that
// a person can look at them under each desktop theme.
#include <cstdio>
#include <string>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include "app/CheckVersionTh.h"
#include "app/Confirm.h"
#include "app/Main.h"
#include "app/Progress.h"
#include "app/RawInfo.h"

namespace {
// Longest wait for the update check's answer before the About panel is taken anyway.
constexpr int kCheckWaitMs = 5000;

bool Save(QWidget& widget, const QString& folder, const char* name)
{
    const QString path = folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "Cannot write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: tavmor-screenshots OUTPUT_FOLDER [INPUT_IMAGE]\n");
        return 2;
    }
    const QString folder = args.at(1);
    QDir().mkpath(folder);

    TFrmMain window;
    window.show();
    // The About panel with the update check's answer: the built-in server's name never
    // resolves, so this is the failed check's line.
    QEventLoop waitForCheck;
    QObject::connect(window.UpdateCheck, &TUpdateCheckController::CheckFinished, &waitForCheck,
        &QEventLoop::quit);
    QTimer::singleShot(kCheckWaitMs, &waitForCheck, &QEventLoop::quit);
    window.Button1->click();
    waitForCheck.exec();
    QApplication::processEvents();
    bool ok = Save(window, folder, "6-about");

    if (args.size() > 2) {
        window.OpenStartupFile(args.at(2).toStdString());
        QApplication::processEvents();
    }
    const struct {
        TPanel Panel;
        const char* Name;
    } panels[] = {
        { TPanel::Convert, "1-convert" },
        { TPanel::Crop, "2-crop" },
        { TPanel::Resize, "3-resize" },
        { TPanel::Split, "4-split" },
        { TPanel::Merge, "5-merge" },
    };
    for (const auto& p : panels) {
        window.ShowPanel(p.Panel);
        QApplication::processEvents();
        ok = Save(window, folder, p.Name) && ok;
    }

    // Leaving Merge empties the input; take it again for the progress pictures.
    if (args.size() > 2) {
        window.OpenStartupFile(args.at(2).toStdString());
    }
    window.ShowPanel(TPanel::Resize);
    window.ShowProgressPanel(1000, "Step 2/4");
    window.SetProgressPosition(420);
    window.DisableButtons();
    window.ShowStatus("Saving lines... (420)");
    QApplication::processEvents();
    ok = Save(window, folder, "7-progress") && ok;
    window.SetProgressPaused(true);
    QApplication::processEvents();
    ok = Save(window, folder, "8-progress-paused") && ok;

    TFrmConfirm confirm(&window);
    confirm.show();
    QApplication::processEvents();
    ok = Save(confirm, folder, "9-confirm") && ok;
    confirm.hide();

    window.HideProgressPanel();
    window.EnableButtons();
    window.ShowPanel(TPanel::Convert);
    window.ShowStatus("Image is valid");
    window.resize(720, 680);
    QApplication::processEvents();
    ok = Save(window, folder, "10-enlarged") && ok;

    // The RAW parameters dialog as a RAW file of 1,500,000 bytes without a size brings it up.
    TFrmRawInfo rawInfo(&window);
    rawInfo.Prepare(1500000, 0, 0, 0);
    rawInfo.edWidth->setText(QStringLiteral("1000"));
    rawInfo.show();
    QApplication::processEvents();
    ok = Save(rawInfo, folder, "11-raw-info") && ok;
    return ok ? 0 : 1;
}
