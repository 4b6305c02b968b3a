// A fake of the engine's dialogs that records every text it is shown and answers the
// questions from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/EngineDialogs.h"

class TRecordingDialogs : public TEngineDialogs {
public:
    struct TRawQuestion {
        int64_t FileSize = 0;
        uint32_t Width = 0;
        uint32_t Height = 0;
        uint8_t Bits = 0;
    };

    std::vector<std::string> Messages; ///< ShowMessage texts, in order
    std::vector<std::string> ErrorDialogs; ///< ShowErrorDialog texts, in order
    std::vector<std::string> Questions; ///< AskYesNo texts, in order
    std::vector<TRawQuestion> RawQuestions; ///< how each RAW question was prepared
    /// Every text of the four kinds, in order, for checking that nothing else was shown.
    std::vector<std::string> All;
    /// NoteDetail calls, in order: the file and the reason.
    std::vector<std::pair<std::string, std::string>> Details;

    /// Answers of the Yes/No questions, first to last; DefaultAnswer once they run out.
    std::deque<bool> YesNoAnswers;
    bool DefaultAnswer = false;
    /// The RAW question's answer; none cancels it.
    std::optional<TRawParameters> RawAnswer;

    void ShowMessage(const std::string& text) override;
    void ShowErrorDialog(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    bool AskRawParameters(int64_t fileSize, uint32_t width, uint32_t height, uint8_t bits,
        TRawParameters& answer) override;
    void NoteDetail(const std::string& file, const std::string& reason) override;
};
