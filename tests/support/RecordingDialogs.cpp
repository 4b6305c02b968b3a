// The recording fake of the engine's dialogs.
#include "support/RecordingDialogs.h"

void TRecordingDialogs::ShowMessage(const std::string& text)
{
    Messages.push_back(text);
    All.push_back(text);
}

void TRecordingDialogs::ShowErrorDialog(const std::string& text)
{
    ErrorDialogs.push_back(text);
    All.push_back(text);
}

bool TRecordingDialogs::AskYesNo(const std::string& text)
{
    Questions.push_back(text);
    All.push_back(text);
    if (YesNoAnswers.empty()) {
        return DefaultAnswer;
    }
    const bool answer = YesNoAnswers.front();
    YesNoAnswers.pop_front();
    return answer;
}

bool TRecordingDialogs::AskRawParameters(
    int64_t fileSize, uint32_t width, uint32_t height, uint8_t bits, TRawParameters& answer)
{
    RawQuestions.push_back({ fileSize, width, height, bits });
    All.push_back("RAW parameters");
    if (!RawAnswer) {
        return false;
    }
    answer = *RawAnswer;
    return true;
}

void TRecordingDialogs::NoteDetail(const std::string& file, const std::string& reason)
{
    Details.emplace_back(file, reason);
}
