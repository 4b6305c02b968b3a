// The update check: a thread that asks the update server for the newest version, and the
// controller that runs it from the About panel's timer and button.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QThread>

class QByteArray;
class QLabel;
class QTimer;

/// The running program's version, compared with the server's answer.
inline constexpr const char* kProgramVersion = "2.1.0";
/// The product's update server (scheme, host and optional port; the path is added).
inline constexpr const char* kUpdateServer = "https://updates.tavmor.invalid";
/// The edition token that ends the request's query after "id=".
inline constexpr const char* kEditionToken = "qt6-linux";
/// At most this many bytes of the answer are read; the first line is all that is used.
inline constexpr qint64 kMaxAnswerBytes = 4096;
/// A check that takes longer than this, in total, ends as a failed check.
inline constexpr int kCheckTimeoutMs = 15000;
/// The interval of CheckForUpdatesTimer.
inline constexpr int kCheckTimerIntervalMs = 500;

/// One update request on its own thread (debugger name "CheckVersionTh"). Set the fields,
/// then start(); read NewVersion once isFinished() is true. The object does not delete
/// itself. requestInterruption() ends a running request within about 50 ms, as a failure.
class TCheckVersion final : public QThread {
    Q_OBJECT
public:
    explicit TCheckVersion(QObject* parent = nullptr);
    ~TCheckVersion() override;

    /// The request's path and query: "/version.php?software=TavmorTools2&id=" + token.
    static QString RequestPathAndQuery();
    /// True when the answer's first line (split at CR, LF or CR LF) is not empty and
    /// differs from currVersion, ignoring letter case and without trimming.
    static bool AnswerNamesOtherVersion(const QByteArray& answer, const QString& currVersion);

    QString CurrVersion; ///< set before start
    QString ServerUrl = QString::fromLatin1(kUpdateServer); ///< set before start
    int TimeoutMs = kCheckTimeoutMs; ///< set before start
    bool NewVersion = false; ///< result; false until finished and on every failure
    /// True when no answer came: no connection, an HTTP error status, an interrupted
    /// transfer or the time-out. A server that answers with an empty body has not failed.
    bool Failed = false;
    qint64 AnswerBytesRead = 0; ///< bytes of the answer's body taken (at most kMaxAnswerBytes)

protected:
    /// Execute: one GET with the program's user agent, redirects followed; any failure
    /// (connection, HTTP error status, interrupted transfer, time-out) sets Failed and leaves
    /// NewVersion false.
    void run() override;
};

/// The window's side of the update check: owns CheckForUpdatesTimer and the running
/// TCheckVersion, and tells the About panel what to show.
///
/// How the window uses it (all on the window's thread):
///
///     UpdateCheck = new TUpdateCheckController(this);
///     UpdateCheck->AttachLabel(lbNewVersion);       // text, colour, made visible
///     connect(Button1, &QPushButton::clicked, UpdateCheck,
///             &TUpdateCheckController::Button1Click);
///     if (settings.CheckForUpdates) UpdateCheck->Start();   // after TSetup::Load
///
/// Destroying the controller (with the window) while a check runs stops that check without
/// waiting for the server, so closing the window is never delayed by it.
class TUpdateCheckController final : public QObject {
    Q_OBJECT
public:
    explicit TUpdateCheckController(QObject* parent = nullptr);
    ~TUpdateCheckController() override;

    /// Enables the timer: a check starts on its next tick (about 500 ms later).
    void Start();
    /// "Check for updates": shows "Checking for updates..." in black and enables the timer.
    /// A check already running is not restarted; its result replaces the text.
    void Button1Click();
    /// One timer tick: starts a check when none runs, shows the result of a finished one
    /// (and disables the timer), or does nothing while one runs. A check that got no answer
    /// shows "Could not check for updates" in black, never that there is nothing new.
    void CheckForUpdatesTimerTimer();

    /// Shows every LabelChanged on the label: its text, text colour, and visible.
    void AttachLabel(QLabel* lbNewVersion);

    /// True while a check thread exists (from the tick that starts it to the tick that
    /// shows its result).
    bool IsChecking() const { return CheckVersionThread != nullptr; }
    QTimer* CheckForUpdatesTimer = nullptr;

    /// Where the checks go; tests point it at a loopback server.
    QString ServerUrl = QString::fromLatin1(kUpdateServer);
    /// The time-out handed to each check.
    int TimeoutMs = kCheckTimeoutMs;

Q_SIGNALS:
    /// The result label's new text and text colour; the label is to be made visible.
    void LabelChanged(const QString& text, const QColor& colour);
    /// A check has ended and its result was shown.
    void CheckFinished(bool newVersion);

private:
    TCheckVersion* CheckVersionThread = nullptr;
};
