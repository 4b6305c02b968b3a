// Progress on the window's taskbar or dock entry, behind a small interface; on Linux it is
// the launcher-entry signal over the session D-Bus, and nothing where there is no session bus.
#pragma once

#include <cstdint>
#include <memory>

#include <QDBusConnection>
#include <QString>
#include <QVariantMap>

/// The taskbar progress states the window uses.
enum class TTaskbarState { NoProgress, Normal, Paused };

/// The taskbar side of the progress display. Window thread only.
class TTaskbarProgress {
public:
    virtual ~TTaskbarProgress() = default;
    virtual void SetMaximum(int32_t max) = 0;
    virtual void SetPosition(int32_t position) = 0;
    virtual void SetState(TTaskbarState state) = 0;
};

/// Shows nothing: the taskbar of a desktop without a session bus.
class TNoTaskbarProgress final : public TTaskbarProgress {
public:
    void SetMaximum(int32_t) override { }
    void SetPosition(int32_t) override { }
    void SetState(TTaskbarState) override { }
};

/// The properties of one launcher-entry update: "progress" (0..1) and "progress-visible".
/// The entry has no paused state of its own, so paused keeps the bar where it stands.
QVariantMap LauncherEntryProperties(TTaskbarState state, int32_t max, int32_t position);

/// Sends com.canonical.Unity.LauncherEntry.Update signals for the desktop entry `desktopId`
/// ("tavmor-tools.desktop") on `bus`. A signal goes out only when the state or the whole
/// percentage changes, so the engine's frequent steps cost nothing on the bus.
class TLauncherEntryProgress final : public TTaskbarProgress {
public:
    TLauncherEntryProgress(const QString& desktopId, const QDBusConnection& bus);
    void SetMaximum(int32_t max) override;
    void SetPosition(int32_t position) override;
    void SetState(TTaskbarState state) override;

    /// Number of signals sent so far.
    int SignalsSent() const { return FSent; }

private:
    void Publish();

    QDBusConnection FBus;
    QString FAppUri;
    int32_t FMax = 0;
    int32_t FPosition = 0;
    TTaskbarState FState = TTaskbarState::NoProgress;
    int FLastPercent = -1;
    TTaskbarState FLastState = TTaskbarState::NoProgress;
    int FSent = 0;
};

/// The launcher-entry progress when a session bus is reachable, otherwise one that shows
/// nothing.
std::unique_ptr<TTaskbarProgress> CreateTaskbarProgress(const QString& desktopId);
