// A numeric field that accepts whole numbers within bounds, selects its text when clicked
// and can be shown read-only in grey.
#pragma once

#include <cstdint>

#include <QLineEdit>
#include <QValidator>

/// Digits only; a value above the maximum is refused as it is typed, one below the minimum
/// is let through while typing and raised to the minimum when the field is left.
class TRangeValidator final : public QValidator {
    Q_OBJECT
public:
    TRangeValidator(int64_t min, int64_t max, QObject* parent);
    State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    void SetMaximum(int64_t max) { FMax = max; }
    int64_t Minimum() const { return FMin; }
    int64_t Maximum() const { return FMax; }

private:
    int64_t FMin;
    int64_t FMax;
};

class TNumberEdit final : public QLineEdit {
    Q_OBJECT
public:
    TNumberEdit(int64_t min, int64_t max, int64_t initial, QWidget* parent);

    /// The number in the field; 0 when the text is empty or not a number.
    int64_t Value() const;
    /// Writes the number into the field unless the field already shows exactly it.
    void SetValue(int64_t value);
    void SetMaximum(int64_t max);
    int64_t Minimum() const { return FValidator->Minimum(); }
    int64_t Maximum() const { return FValidator->Maximum(); }
    /// Read-only, grey 216 background; `focusable` false also passes the focus on.
    void SetReadOnlyGrey(bool focusable);
    /// Puts a value typed outside the bounds back inside them.
    void Normalize();

    bool SelectAllOnClick = true;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TRangeValidator* FValidator;
};
