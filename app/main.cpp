// Start-up of the window program tavmor-tools: --help and --version before anything else,
// then the application object, the main window and its message loop; a file named on the
// command line becomes the input.
#include "app/Main.h"

#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QTimer>

#include "app/CommandLine.h"
#include "app/MainTexts.h"

int main(int argc, char** argv)
{
    // Help and version need no window, so no display either: answered before Qt starts.
    const TWindowArguments early = ParseWindowArguments({ argv + 1, argv + argc });
    if (early.Help || early.Version) {
        std::fputs((early.Help ? WindowHelpText() : WindowVersionText()).c_str(), stdout);
        return 0;
    }

    TWindowSystemGuard guard(argc, argv);
    QApplication app(argc, argv);
    guard.Release();
    QApplication::setApplicationName(QString::fromUtf8(MainText::AppTitle));
    QApplication::setDesktopFileName(QStringLiteral("tavmor-tools"));

    // QApplication has taken its own options out of argv by now.
    const TWindowArguments given = ParseWindowArguments({ argv + 1, argv + argc });
    if (!given.UnknownOption.empty()) {
        std::fprintf(stderr, "%s: %s'%s'\n%s\n", WindowCliText::Program,
            WindowCliText::UnknownOption, given.UnknownOption.c_str(), WindowCliText::TryHelp);
        return kExitUsage;
    }
    for (const std::string& ignored : given.Ignored) {
        std::fprintf(stderr, "%s: %s%s\n", WindowCliText::Program, WindowCliText::OnlyOneFile,
            ignored.c_str());
    }

    TFrmMainOptions options;
    options.SettingsPath =
        TSetup::SettingsPathFor(QCoreApplication::applicationFilePath().toStdString());
    TFrmMain FrmMain(std::move(options));
    FrmMain.show();

    // The file is taken once the loop runs, so its messages appear over a painted window.
    if (!given.File.empty()) {
        const std::string path = given.File;
        QTimer::singleShot(0, &FrmMain, [&FrmMain, path] { FrmMain.OpenStartupFile(path); });
    }
    return QApplication::exec();
}
