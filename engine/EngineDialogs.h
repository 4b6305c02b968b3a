// The message boxes and questions the engine shows itself, behind one small interface that
// the window, the command line and the tests implement.
#pragma once

#include <cstdint>
#include <string>

/// The answer of the RAW parameters question.
struct TRawParameters {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint8_t Bits = 0; ///< 8 or 16; 0 when neither depth was chosen
};

/// Dialogs the engine shows on its own thread; every call blocks until answered.
class TEngineDialogs {
public:
    virtual ~TEngineDialogs() = default;
    /// Plain message box with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    /// Message dialog of the error kind with an OK button.
    virtual void ShowErrorDialog(const std::string& text) = 0;
    /// Confirmation with Yes and No; true means Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    /// The RAW parameters question for a file of fileSize bytes, prepared with the width,
    /// height and depth found so far (0 when unknown). False means cancelled.
    virtual bool AskRawParameters(int64_t fileSize, uint32_t width, uint32_t height, uint8_t bits,
        TRawParameters& answer) = 0;
    /// Tells that text, the overwrite question, was answered No without asking: a file took the
    /// output's name while it was written and the user had not agreed to replace any.
    virtual void ShowAnsweredNo(const std::string& text) { ShowMessage(text); }
    /// True when the user agreed beforehand to replace any existing output (the command line's
    /// --yes): a file that takes an output's name while it is written is replaced too.
    virtual bool ReplaceAgreed() const { return false; }
    /// Names the file and the reason (the system's words for an error) behind the next message
    /// shown or error reported, for a user interface that shows them beside the fixed text.
    virtual void NoteDetail(const std::string& file, const std::string& reason)
    {
        (void)file;
        (void)reason;
    }
};

/// Shows nothing and declines every question: the behaviour of an engine without a user.
class TSilentDialogs final : public TEngineDialogs {
public:
    void ShowMessage(const std::string&) override { }
    void ShowErrorDialog(const std::string&) override { }
    bool AskYesNo(const std::string&) override { return false; }
    bool AskRawParameters(int64_t, uint32_t, uint32_t, uint8_t, TRawParameters&) override
    {
        return false;
    }
};
