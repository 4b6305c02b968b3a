// The abort confirmation: a fixed-size dialog with Yes as the default and No as the cancel.
#include "app/Confirm.h"

#include <QLabel>
#include <QPushButton>

#include "app/MainTexts.h"

TFrmConfirm::TFrmConfirm(QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(MainText::Confirm);
    setFixedSize(377, 142);
    setModal(true);

    lbQuestion = new QLabel(MainText::AbortQuestion, this);
    QFont bold = font();
    bold.setBold(true);
    lbQuestion->setFont(bold);
    lbQuestion->setAlignment(Qt::AlignCenter);
    lbQuestion->setWordWrap(true);
    lbQuestion->setGeometry(16, 24, 345, 40);

    btYes = new QPushButton(MainText::Yes, this);
    btYes->setGeometry(48, 92, 96, 28);
    btYes->setDefault(true);
    btYes->setAutoDefault(true);
    btNo = new QPushButton(MainText::No, this);
    btNo->setGeometry(233, 92, 96, 28);
    btNo->setAutoDefault(true);
    btYes->setToolTip(QString::fromLatin1(MainText::TipYes));
    btNo->setToolTip(QString::fromLatin1(MainText::TipNo));

    connect(btYes, &QPushButton::clicked, this, [this] { done(kModalYes); });
    connect(btNo, &QPushButton::clicked, this, [this] { done(kModalNo); });
}

int TFrmConfirm::CenterAndShow(int x, int y)
{
    move(x, y);
    btYes->setFocus();
    // Escape and the close box reject the dialog, which is the No answer.
    const int result = exec();
    return result == kModalYes ? kModalYes : kModalNo;
}
