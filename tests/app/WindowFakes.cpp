// The window fixture's helpers.
#include "WindowFakes.h"

#include <QLineEdit>
#include <QStatusBar>

std::string TWindowFixture::Status() const
{
    return Window->StatusBar->currentMessage().toStdString();
}

void TWindowFixture::ChooseInput(const std::string& path)
{
    Dialogs.OpenAnswers.push_back({ path });
    Window->sbInputClick();
}

void TWindowFixture::ChooseTiles(const std::vector<std::string>& paths)
{
    Window->ShowPanel(TPanel::Merge);
    Dialogs.OpenAnswers.push_back(paths);
    Window->sbInputClick();
}
