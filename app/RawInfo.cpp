// The RAW parameters dialog: its controls, the two-way size derivation and the key filter.
#include "app/RawInfo.h"

#include <algorithm>

#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include "app/DialogTexts.h"
#include "app/PanelColours.h"
#include "engine/EngineDialogs.h"
#include "engine/TavmorUtils.h"

namespace {

// A side above this is replaced by it in the field; a derived side must stay below it.
constexpr int32_t kMaxSide = 100000000;
// Sides below this are too small to derive the other one from.
constexpr int32_t kMinDerivable = 100;
// With this many characters and nothing selected, the fields take no more digits.
constexpr int kMaxDigits = 9;
constexpr int kImageSize = 18;

enum class TGlyph { Tick, Cross };

/// The glyph's stroke as a filled outline, in an 18 x 18 box.
QPainterPath GlyphOutline(TGlyph glyph)
{
    QPainterPath line;
    if (glyph == TGlyph::Tick) {
        line.moveTo(3.5, 9.5);
        line.lineTo(7.5, 13.5);
        line.lineTo(14.5, 4.5);
    } else {
        line.moveTo(4.5, 4.5);
        line.lineTo(13.5, 13.5);
        line.moveTo(13.5, 4.5);
        line.lineTo(4.5, 13.5);
    }
    QPainterPathStroker stroker;
    stroker.setWidth(3.0);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(line).simplified();
}

/// The enabled image (filled in colour) or the disabled one (a grey outline).
QPixmap GlyphImage(TGlyph glyph, bool enabled)
{
    QPixmap image(kImageSize, kImageSize);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath outline = GlyphOutline(glyph);
    if (enabled) {
        const QColor colour = glyph == TGlyph::Tick ? QColor(0, 160, 0) : QColor(208, 0, 0);
        painter.setPen(QPen(colour.darker(130), 1.0));
        painter.setBrush(colour);
    } else {
        painter.setPen(QPen(QColor(128, 128, 128), 1.0));
        painter.setBrush(QColor(216, 216, 216));
    }
    painter.drawPath(outline);
    return image;
}

QIcon GlyphIcon(TGlyph glyph)
{
    QIcon icon;
    icon.addPixmap(GlyphImage(glyph, true), QIcon::Normal);
    icon.addPixmap(GlyphImage(glyph, false), QIcon::Disabled);
    return icon;
}

QLabel* MakeLabel(QWidget* parent, const char* text, const QRect& place, Qt::Alignment align)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setGeometry(place);
    label->setAlignment(align | Qt::AlignVCenter);
    return label;
}

QToolButton* MakeImageButton(QWidget* parent, TGlyph glyph, const QRect& place)
{
    auto* button = new QToolButton(parent);
    button->setGeometry(place);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(GlyphIcon(glyph));
    button->setIconSize(QSize(kImageSize, kImageSize));
    return button;
}

void SetTextIfChanged(QLineEdit* field, const QString& text)
{
    // Setting the same text again would move the cursor and run the derivation once more.
    if (field->text() != text) {
        field->setText(text);
    }
}

} // namespace

TFrmRawInfo::TFrmRawInfo(QWidget* mainWindow)
    : QDialog(mainWindow)
    , MainWindow(mainWindow)
{
    setWindowTitle(QString::fromLatin1(DialogText::RawInfoCaption));
    setWindowFlags(
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(185, 168);

    Panel1 = new QWidget(this);
    Panel1->setGeometry(0, 0, 185, 168);
    PaintFixedPanel(Panel1, QColor(186, 205, 240));

    Label2 = MakeLabel(Panel1, DialogText::RawInfoHeader, QRect(0, 0, 185, 13), Qt::AlignHCenter);
    Label2->setAutoFillBackground(true);
    QPalette headerColours = Label2->palette();
    headerColours.setColor(QPalette::Window, QColor(160, 160, 160));
    headerColours.setColor(QPalette::WindowText, Qt::black);
    Label2->setPalette(headerColours);

    lbl5 = MakeLabel(Panel1, DialogText::FileSizeLabel, QRect(8, 24, 64, 14), Qt::AlignRight);
    lblSize = MakeLabel(Panel1, "", QRect(82, 24, 98, 14), Qt::AlignLeft);
    lbl3 = MakeLabel(Panel1, DialogText::WidthLabel, QRect(8, 48, 64, 14), Qt::AlignRight);
    edWidth = new QLineEdit(QString::fromLatin1(DialogText::InitialSide), Panel1);
    edWidth->setGeometry(80, 44, 70, 21);
    lbl6 = MakeLabel(Panel1, DialogText::HeightLabel, QRect(8, 76, 64, 14), Qt::AlignRight);
    EdHeight = new QLineEdit(QString::fromLatin1(DialogText::InitialSide), Panel1);
    EdHeight->setGeometry(80, 72, 70, 21);
    lbl13 = MakeLabel(Panel1, DialogText::BitsLabel, QRect(8, 104, 64, 14), Qt::AlignRight);
    RB8bit = new QRadioButton(QString::fromLatin1(DialogText::Bits8), Panel1);
    RB8bit->setGeometry(80, 104, 24, 17);
    RB8bit->setChecked(true);
    RB16bit = new QRadioButton(QString::fromLatin1(DialogText::Bits16), Panel1);
    RB16bit->setGeometry(120, 104, 30, 17);
    // The designed widths leave no room for the caption beside the toolkit's indicator.
    for (QRadioButton* depth : { RB8bit, RB16bit }) {
        depth->resize(std::max(depth->width(), depth->sizeHint().width()), depth->height());
    }
    SpeedButton2 = MakeImageButton(Panel1, TGlyph::Cross, QRect(24, 136, 26, 26));
    SpeedButton1 = MakeImageButton(Panel1, TGlyph::Tick, QRect(136, 136, 26, 26));

    const struct {
        QWidget* Control;
        const char* Tip;
    } tips[] = {
        { edWidth, DialogText::TipRawWidth },
        { EdHeight, DialogText::TipRawHeight },
        { RB8bit, DialogText::TipBits8 },
        { RB16bit, DialogText::TipBits16 },
        { SpeedButton1, DialogText::TipRawAccept },
        { SpeedButton2, DialogText::TipRawCancel },
    };
    for (const auto& t : tips) {
        t.Control->setToolTip(QString::fromLatin1(t.Tip));
    }

    setTabOrder(edWidth, EdHeight);
    setTabOrder(EdHeight, RB8bit);
    setTabOrder(RB8bit, RB16bit);

    edWidth->installEventFilter(this);
    EdHeight->installEventFilter(this);
    connect(edWidth, &QLineEdit::textChanged, this, &TFrmRawInfo::EdWidthChange);
    connect(EdHeight, &QLineEdit::textChanged, this, &TFrmRawInfo::EdHeightChange);
    // toggled fires on both buttons of the pair; one of them is enough for one change.
    connect(RB8bit, &QRadioButton::toggled, this, &TFrmRawInfo::RB8bitChange);
    connect(SpeedButton1, &QToolButton::clicked, this, &TFrmRawInfo::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TFrmRawInfo::SpeedButton2Click);
}

void TFrmRawInfo::Prepare(int64_t FileSize, uint32_t Width, uint32_t Height, uint16_t Bits)
{
    static_cast<void>(Bits); // the probe has no depth to offer; the choice stays the user's
    if (MainWindow != nullptr) {
        move(MainWindow->pos() + QPoint(20, 20));
    }
    ImgFileSize = FileSize;
    lblSize->setText(QString::fromStdString(FormatThousands(FileSize)));
    NumPixel = GetNumPixel();
    if (Width > 0 && Height > 0) {
        SetTextIfChanged(edWidth, QString::number(Width));
    }
    SetTextIfChanged(EdHeight, QString::fromLatin1(DialogText::InitialSide));
    EdWidthChange();
}

bool TFrmRawInfo::Ask(
    int64_t fileSize, uint32_t width, uint32_t height, uint16_t bits, TRawParameters& answer)
{
    answer = TRawParameters {};
    Prepare(fileSize, width, height, bits);
    if (exec() != QDialog::Accepted) {
        return false;
    }
    answer.Width = ImgWidth;
    answer.Height = ImgHeight;
    answer.Bits = ChosenBits();
    return true;
}

uint8_t TFrmRawInfo::ChosenBits() const
{
    return RB8bit->isChecked() ? 8 : 16;
}

int64_t TFrmRawInfo::GetNumPixel() const
{
    // Three samples per pixel; a partial pixel at the end of the file does not count.
    return RB8bit->isChecked() ? ImgFileSize / 3 : ImgFileSize / 6;
}

bool TFrmRawInfo::KeyPasses(int key, int textLength, bool hasSelection)
{
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Delete:
        return true;
    default:
        break;
    }
    // Keypad digits arrive with the same key codes as the main row's.
    if (key < Qt::Key_0 || key > Qt::Key_9) {
        return false;
    }
    return textLength < kMaxDigits || hasSelection;
}

void TFrmRawInfo::Derive(QLineEdit* field, QLineEdit* other)
{
    int32_t v = StrToIntSafe(field->text().toStdString());
    if (v > kMaxSide) {
        SetTextIfChanged(field, QString::fromLatin1(DialogText::MaxSideText));
        v = kMaxSide;
    }
    if (v < kMinDerivable || NumPixel % v != 0) {
        return;
    }
    const int64_t q = NumPixel / v;
    if (q < kMaxSide) {
        SetTextIfChanged(other, QString::number(q));
    }
}

void TFrmRawInfo::EdWidthChange()
{
    Derive(edWidth, EdHeight);
}

void TFrmRawInfo::EdHeightChange()
{
    Derive(EdHeight, edWidth);
}

void TFrmRawInfo::RB8bitChange()
{
    NumPixel = GetNumPixel();
    EdWidthChange();
}

void TFrmRawInfo::SpeedButton1Click()
{
    const int64_t w = StrToIntSafe(edWidth->text().toStdString());
    const int64_t h = StrToIntSafe(EdHeight->text().toStdString());
    // A pasted minus sign could make two negative sides multiply to the pixel count.
    if (w < 0 || h < 0 || w * h != NumPixel) {
        return;
    }
    ImgWidth = static_cast<uint32_t>(w);
    ImgHeight = static_cast<uint32_t>(h);
    accept();
}

void TFrmRawInfo::SpeedButton2Click()
{
    reject();
}

void TFrmRawInfo::reject()
{
    ImgWidth = 0;
    ImgHeight = 0;
    QDialog::reject();
}

bool TFrmRawInfo::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field == nullptr || (field != edWidth && field != EdHeight)) {
        return QDialog::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!KeyPasses(
                key->key(), static_cast<int>(field->text().size()), field->hasSelectedText())) {
            return true;
        }
        break;
    }
    case QEvent::FocusIn:
        if (field == edWidth) {
            // edWidthEnter. Deferred, because a mouse press that gave the focus would
            // otherwise clear the selection again straight away.
            QTimer::singleShot(0, edWidth, &QLineEdit::selectAll);
        }
        break;
    case QEvent::FocusOut:
        if (field == edWidth) {
            EdWidthChange();
        } else {
            EdHeightChange();
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmRawInfo::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
