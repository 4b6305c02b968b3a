// Renders the main window with each panel, the progress panel (running and paused) and the
// abort confirmation to PNG files, so that a person can look at them.
#include <cstdio>
#include <string>

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include "app/Confirm.h"
#include "app/Main.h"
#include "app/Progress.h"

namespace {
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
    return ok ? 0 : 1;
}
