// Taskbar progress through the launcher-entry D-Bus signal that docks and task managers read.
#include "app/Taskbar.h"

#include <algorithm>

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

constexpr const char* kEntryPath = "/com/canonical/unity/launcherentry/tavmor_tools";
constexpr const char* kEntryInterface = "com.canonical.Unity.LauncherEntry";

/// Position against maximum in whole percent, 0..100; 0 when there is no maximum.
int PercentOf(int32_t max, int32_t position)
{
    if (max <= 0) {
        return 0;
    }
    const int64_t p = std::clamp<int64_t>(position, 0, max);
    return static_cast<int>(p * 100 / max);
}

} // namespace

QVariantMap LauncherEntryProperties(TTaskbarState state, int32_t max, int32_t position)
{
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), PercentOf(max, position) / 100.0);
    properties.insert(QStringLiteral("progress-visible"), state != TTaskbarState::NoProgress);
    return properties;
}

TLauncherEntryProgress::TLauncherEntryProgress(const QString& desktopId, const QDBusConnection& bus)
    : FBus(bus)
    , FAppUri(QStringLiteral("application://") + desktopId)
{
}

void TLauncherEntryProgress::SetMaximum(int32_t max)
{
    FMax = max;
    Publish();
}

void TLauncherEntryProgress::SetPosition(int32_t position)
{
    FPosition = position;
    Publish();
}

void TLauncherEntryProgress::SetState(TTaskbarState state)
{
    FState = state;
    Publish();
}

void TLauncherEntryProgress::Publish()
{
    const int percent = PercentOf(FMax, FPosition);
    if (percent == FLastPercent && FState == FLastState) {
        return;
    }
    FLastPercent = percent;
    FLastState = FState;
    QDBusMessage signal =
        QDBusMessage::createSignal(kEntryPath, kEntryInterface, QStringLiteral("Update"));
    signal << FAppUri << LauncherEntryProperties(FState, FMax, FPosition);
    // A lost signal only leaves the dock's bar behind; nothing to report to the user.
    if (FBus.send(signal)) {
        ++FSent;
    }
}

std::unique_ptr<TTaskbarProgress> CreateTaskbarProgress(const QString& desktopId)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        return std::make_unique<TLauncherEntryProgress>(desktopId, bus);
    }
    return std::make_unique<TNoTaskbarProgress>();
}
