// Bounds checking and presentation of the numeric fields.
#include "app/NumberEdit.h"

#include <algorithm>

#include <QMouseEvent>

#include "app/PanelColours.h"

namespace {
// The widest field holds 9999999; more digits can never be in range.
constexpr int kMaxDigits = 9;

/// The whole number in a text of digits; -1 when it is empty or holds anything else.
int64_t DigitsValue(const QString& text)
{
    if (text.isEmpty() || text.size() > kMaxDigits) {
        return -1;
    }
    int64_t v = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return -1;
        }
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}
} // namespace

TRangeValidator::TRangeValidator(int64_t min, int64_t max, QObject* parent)
    : QValidator(parent)
    , FMin(min)
    , FMax(max)
{
}

QValidator::State TRangeValidator::validate(QString& input, int&) const
{
    if (input.isEmpty()) {
        return Intermediate;
    }
    const int64_t v = DigitsValue(input);
    if (v < 0 || v > FMax) {
        return Invalid;
    }
    return v < FMin ? Intermediate : Acceptable;
}

void TRangeValidator::fixup(QString& input) const
{
    const int64_t v = DigitsValue(input);
    input = QString::number(std::clamp<int64_t>(v < 0 ? FMin : v, FMin, FMax));
}

TNumberEdit::TNumberEdit(int64_t min, int64_t max, int64_t initial, QWidget* parent)
    : QLineEdit(parent)
    , FValidator(new TRangeValidator(min, max, this))
{
    setValidator(FValidator);
    setAcceptDrops(false);
    setText(QString::number(initial));
}

int64_t TNumberEdit::Value() const
{
    return std::max<int64_t>(DigitsValue(text()), 0);
}

void TNumberEdit::SetValue(int64_t value)
{
    if (DigitsValue(text()) != value) {
        setText(QString::number(value));
    }
}

void TNumberEdit::SetMaximum(int64_t max)
{
    FValidator->SetMaximum(max);
}

void TNumberEdit::SetReadOnlyGrey(bool focusable)
{
    setReadOnly(true);
    PaintFixedField(this, QColor(216, 216, 216));
    if (!focusable) {
        setFocusPolicy(Qt::NoFocus);
        SelectAllOnClick = false;
    }
}

void TNumberEdit::Normalize()
{
    if (isReadOnly()) {
        return;
    }
    QString t = text();
    int pos = 0;
    if (FValidator->validate(t, pos) != QValidator::Acceptable) {
        FValidator->fixup(t);
        setText(t);
    }
}

void TNumberEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (SelectAllOnClick && event->button() == Qt::LeftButton) {
        selectAll();
    }
}
