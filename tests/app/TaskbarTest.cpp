// Taskbar progress: the launcher-entry properties for each state, and the signals on a
// private session bus, sent only when the state or the whole percentage changes.
#include "app/Taskbar.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <QDBusConnection>
#include <QObject>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>

namespace {

/// A dbus-daemon of the test's own, stopped at the end.
class TPrivateBus {
public:
    TPrivateBus()
    {
        FILE* out = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1 "
                          "2>/dev/null",
            "r");
        if (out == nullptr) {
            return;
        }
        char line[512];
        if (std::fgets(line, sizeof line, out) != nullptr) {
            Address = QString::fromLocal8Bit(line).trimmed();
        }
        if (std::fgets(line, sizeof line, out) != nullptr) {
            Pid = std::atoi(line);
        }
        pclose(out);
    }
    ~TPrivateBus()
    {
        if (Pid > 0) {
            kill(Pid, SIGTERM);
        }
    }
    QString Address;
    int Pid = 0;
};

class TUpdateListener final : public QObject {
    Q_OBJECT
public:
    std::vector<QString> Uris;
    std::vector<QVariantMap> Updates;
public Q_SLOTS:
    void Update(const QString& uri, const QVariantMap& properties)
    {
        Uris.push_back(uri);
        Updates.push_back(properties);
    }
};

} // namespace

TEST(Taskbar, LauncherEntryPropertiesFollowTheStateAndPosition)
{
    struct Case {
        const char* Name;
        TTaskbarState State;
        int32_t Max;
        int32_t Position;
        double Progress;
        bool Visible;
    };
    const Case cases[] = {
        { "hidden", TTaskbarState::NoProgress, 100, 50, 0.5, false },
        { "running", TTaskbarState::Normal, 700, 350, 0.5, true },
        { "paused keeps the bar", TTaskbarState::Paused, 700, 700, 1.0, true },
        { "whole percent only", TTaskbarState::Normal, 1000, 999, 0.99, true },
        { "no maximum", TTaskbarState::Normal, 0, 5, 0.0, true },
        { "past the maximum", TTaskbarState::Normal, 100, 150, 1.0, true },
        { "below zero", TTaskbarState::Normal, 100, -3, 0.0, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const QVariantMap p = LauncherEntryProperties(c.State, c.Max, c.Position);
        EXPECT_DOUBLE_EQ(p.value("progress").toDouble(), c.Progress);
        EXPECT_EQ(p.value("progress-visible").toBool(), c.Visible);
    }
}

TEST(Taskbar, SignalsGoOutOnlyWhenTheShownProgressChanges)
{
    TPrivateBus daemon;
    if (daemon.Address.isEmpty()) {
        GTEST_SKIP() << "no dbus-daemon to start a private session bus";
    }
    QDBusConnection sender = QDBusConnection::connectToBus(daemon.Address, "taskbar-sender");
    QDBusConnection receiver = QDBusConnection::connectToBus(daemon.Address, "taskbar-receiver");
    ASSERT_TRUE(sender.isConnected());
    ASSERT_TRUE(receiver.isConnected());
    TUpdateListener listener;
    ASSERT_TRUE(receiver.connect(QString(), "/com/canonical/unity/launcherentry/tavmor_tools",
        "com.canonical.Unity.LauncherEntry", "Update", &listener,
        SLOT(Update(QString, QVariantMap))));

    {
        TLauncherEntryProgress progress("tavmor-tools.desktop", sender);
        progress.SetMaximum(700);
        progress.SetPosition(0);
        progress.SetState(TTaskbarState::Normal);
        // The engine's steps of 7 lines: 100 positions, 100 distinct percentages.
        for (int32_t p = 7; p <= 700; p += 7) {
            progress.SetPosition(p);
            progress.SetPosition(p); // a repeat sends nothing
        }
        progress.SetState(TTaskbarState::NoProgress);
        // hidden (first), shown at 0, 1..100 percent, hidden again
        EXPECT_EQ(progress.SignalsSent(), 103);
        ASSERT_TRUE(QTest::qWaitFor([&] { return listener.Updates.size() == 103; }, 5000));
    }
    EXPECT_EQ(listener.Uris.front().toStdString(), "application://tavmor-tools.desktop");
    EXPECT_TRUE(listener.Updates[1].value("progress-visible").toBool());
    EXPECT_DOUBLE_EQ(listener.Updates[101].value("progress").toDouble(), 1.0);
    EXPECT_FALSE(listener.Updates.back().value("progress-visible").toBool());
    QDBusConnection::disconnectFromBus("taskbar-sender");
    QDBusConnection::disconnectFromBus("taskbar-receiver");
}

#include "TaskbarTest.moc"
