// The Qt implementation of the window's dialogs.
#include "app/WindowDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/Confirm.h"
#include "app/MainTexts.h"
#include "app/RawInfo.h"

namespace {
QString FromStd(const std::string& text)
{
    return QString::fromStdString(text);
}
} // namespace

TQtDialogs::TQtDialogs(QWidget* owner)
    : FOwner(owner)
    , FRawInfo(std::make_unique<TFrmRawInfo>(owner))
    , FConfirm(std::make_unique<TFrmConfirm>(owner))
{
}

TQtDialogs::~TQtDialogs() = default;

void TQtDialogs::ShowMessage(const std::string& text)
{
    QMessageBox box(
        QMessageBox::NoIcon, MainText::AppTitle, FromStd(text), QMessageBox::Ok, FOwner);
    box.exec();
}

void TQtDialogs::ShowErrorDialog(const std::string& text)
{
    QMessageBox box(
        QMessageBox::Critical, QStringLiteral("Error"), FromStd(text), QMessageBox::Ok, FOwner);
    box.exec();
}

bool TQtDialogs::AskYesNo(const std::string& text)
{
    QMessageBox box(QMessageBox::Question, MainText::Confirm, FromStd(text),
        QMessageBox::Yes | QMessageBox::No, FOwner);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool TQtDialogs::AskRawParameters(
    int64_t fileSize, uint32_t width, uint32_t height, uint8_t bits, TRawParameters& answer)
{
    return FRawInfo->Ask(fileSize, width, height, bits, answer);
}

bool TQtDialogs::ChooseInputFiles(bool multiple, std::vector<std::string>& names)
{
    QFileDialog dialog(FOwner, MainText::OpenTitle, FromStd(FOpenDirectory));
    dialog.setNameFilters(QString(MainText::OpenFilters).split(QStringLiteral(";;")));
    dialog.selectNameFilter(MainText::OpenDefaultFilter);
    dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    names.clear();
    const QStringList chosen = dialog.selectedFiles();
    for (const QString& name : chosen) {
        names.push_back(name.toStdString());
    }
    FOpenDirectory = dialog.directory().absolutePath().toStdString();
    return !names.empty();
}

bool TQtDialogs::ChooseFolder(const std::string& start, std::string& folder)
{
    const QString chosen = QFileDialog::getExistingDirectory(FOwner, QString(), FromStd(start));
    if (chosen.isEmpty()) {
        return false;
    }
    folder = chosen.toStdString();
    return true;
}

bool TQtDialogs::ConfirmAbort(int x, int y)
{
    return FConfirm->CenterAndShow(x, y) == kModalYes;
}
