// Fuzz target: an arbitrary answer of the update server against the running version and
// against a version taken from the answer itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QString>

#include "app/CheckVersionTh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray answer(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)TCheckVersion::AnswerNamesOtherVersion(answer, QStringLiteral("2.1.0"));
    // An answer whose first line is the running version never announces a new one.
    const qsizetype end = answer.indexOf('\n');
    QByteArray first = end < 0 ? answer : answer.first(end);
    if (!first.contains('\r') && !first.startsWith("\xEF\xBB\xBF") && !first.isEmpty()) {
        const QString version = QString::fromUtf8(first);
        if (TCheckVersion::AnswerNamesOtherVersion(answer, version)) {
            std::abort();
        }
    }
    return 0;
}
