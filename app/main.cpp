// Start-up of the window program tavmor-tools: the application object, the main window and
// its message loop; a file named on the command line becomes the input.
#include "app/Main.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>

#include "app/MainTexts.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(MainText::AppTitle));
    QApplication::setDesktopFileName(QStringLiteral("tavmor-tools"));

    TFrmMainOptions options;
    options.SettingsPath =
        TSetup::SettingsPathFor(QCoreApplication::applicationFilePath().toStdString());
    TFrmMain FrmMain(std::move(options));
    FrmMain.show();

    // The file is taken once the loop runs, so its messages appear over a painted window.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1) {
        const std::string path = arguments.at(1).toStdString();
        QTimer::singleShot(0, &FrmMain, [&FrmMain, path] { FrmMain.OpenStartupFile(path); });
    }
    return QApplication::exec();
}
