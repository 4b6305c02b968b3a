// tavmor-window-convert: runs one Convert through the main window, shown on the current Qt
// platform (offscreen in bench/window_bench.sh), exactly as a click on Start would, so that
// its time can be set against the same `tavmor convert`.
// Usage: tavmor-window-convert INPUT tif|tif-lzw|raw|kro OUTPUT_FOLDER
#include <chrono>
#include <cstdio>
#include <string>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

#include "app/Main.h"
#include "app/WindowDialogs.h"

namespace {

/// Prints every message and answers Yes to the overwrite question; no dialog opens.
class TBenchDialogs final : public TWindowDialogs {
public:
    void ShowMessage(const std::string& text) override { Report(text); }
    void ShowErrorDialog(const std::string& text) override { Report(text); }
    bool AskYesNo(const std::string&) override { return true; }
    bool AskRawParameters(int64_t, uint32_t, uint32_t, uint8_t, TRawParameters&) override
    {
        return false;
    }
    bool ChooseInputFiles(bool, std::vector<std::string>&) override { return false; }
    bool ChooseFolder(const std::string&, std::string&) override { return false; }
    bool ConfirmAbort(int, int) override { return false; }
    int Messages = 0;

private:
    void Report(const std::string& text)
    {
        ++Messages;
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fprintf(
            stderr, "usage: tavmor-window-convert INPUT tif|tif-lzw|raw|kro OUTPUT_FOLDER\n");
        return 2;
    }
    TBenchDialogs dialogs;
    TFrmMainOptions options;
    options.Dialogs = &dialogs;
    options.Taskbar = std::make_unique<TNoTaskbarProgress>();
    TFrmMain window(std::move(options));
    window.show();
    QApplication::processEvents();

    window.OpenStartupFile(args.at(1).toStdString());
    if (!window.Tavmor.InInfo.ImageIsOk) {
        return 1;
    }
    const QString format = args.at(2);
    QRadioButton* choice = format == QLatin1String("tif-lzw") ? window.rbTifLzw
        : format == QLatin1String("raw")                      ? window.rbRaw
        : format == QLatin1String("kro")                      ? window.rbKro
                                                              : window.rbTif;
    choice->setChecked(true);
    window.EditOutputFolder->setText(args.at(3));

    const auto start = std::chrono::steady_clock::now();
    window.btStart->click();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string status = window.StatusBar->currentMessage().toStdString();
    std::fprintf(stderr, "%s: %.3f s\n", status.c_str(), seconds);
    return status == "Operation completed successfully" && dialogs.Messages == 0 ? 0 : 1;
}
