// Tests of the update check against a small HTTP server on the loopback address: the
// answers it understands, the failures it survives, and the window side's timer and label.
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/CheckVersionTh.h"
#include "app/DialogTexts.h"

namespace {

// No test waits longer than this for anything; a hang fails instead of blocking the run.
constexpr int kWaitLimitMs = 10000;

/// Processes events until done() is true or the wait limit has passed.
bool WaitUntil(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > kWaitLimitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

/// Processes events for about ms milliseconds.
void Pump(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

QByteArray Http(int status, const QByteArray& body, const QByteArray& headers = {})
{
    const QByteArray reason = status == 200 ? "OK"
        : status == 301                     ? "Moved Permanently"
        : status == 302                     ? "Found"
                                            : "Not Found";
    return "HTTP/1.1 " + QByteArray::number(status) + " " + reason + "\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

/// A one-thread HTTP server on 127.0.0.1: answers each path from a table, or never answers
/// paths with no entry. Records the head of every request.
class TTestServer {
public:
    TTestServer()
    {
        EXPECT_TRUE(Server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&Server, &QTcpServer::newConnection, [this] { Accept(); });
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1").arg(Server.serverPort()); }
    quint16 Port() const { return Server.serverPort(); }

    std::map<QByteArray, QByteArray> Answers; ///< path and query -> whole response
    QList<QByteArray> Requests; ///< request heads, in arrival order
    int AnswerDelayMs = 0;

private:
    void Accept()
    {
        while (QTcpSocket* socket = Server.nextPendingConnection()) {
            auto received = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
                *received += socket->readAll();
                const qsizetype end = received->indexOf("\r\n\r\n");
                if (end < 0) {
                    return;
                }
                const QByteArray head = received->left(end);
                received->clear();
                Requests.push_back(head);
                const QByteArray target = head.split(' ').value(1);
                const auto answer = Answers.find(target);
                if (answer == Answers.end()) {
                    return; // never answers
                }
                const QByteArray response = answer->second;
                QTimer::singleShot(AnswerDelayMs, socket, [socket, response] {
                    socket->write(response);
                    socket->disconnectFromHost();
                });
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }
    QTcpServer Server;
};

const QByteArray kTarget = "/version.php?software=TavmorTools2&id=qt6-linux";

TEST(CheckVersion, AnswerNamesOtherVersion)
{
    const struct {
        const char* name;
        QByteArray answer;
        const char* current;
        bool other;
    } cases[] = {
        { "same", "2.1.0", "2.1.0", false },
        { "same, more lines after CR LF", "2.1.0\r\n2.2.0\r\n", "2.1.0", false },
        { "same, more lines after CR", "2.1.0\r9.9.9", "2.1.0", false },
        { "same, more lines after LF", "2.1.0\n9.9.9", "2.1.0", false },
        { "newer", "2.1.1", "2.1.0", true },
        { "older", "2.0.0\n", "2.1.0", true },
        { "letter case only", "2.1.0-BETA", "2.1.0-beta", false },
        { "trailing blank", "2.1.0 ", "2.1.0", true },
        { "leading blank", " 2.1.0", "2.1.0", true },
        { "empty", "", "2.1.0", false },
        { "empty first line", "\r\n2.2.0", "2.1.0", false },
        { "byte-order mark",
            "\xEF\xBB\xBF"
            "2.1.0\r\n",
            "2.1.0", false },
        { "a proxy's page", "<html><body>Blocked</body></html>", "2.1.0", true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TCheckVersion::AnswerNamesOtherVersion(c.answer, QString::fromLatin1(c.current)),
            c.other);
    }
}

struct TransportCase {
    const char* name;
    std::map<QByteArray, QByteArray> answers;
    int timeoutMs;
    bool newVersion;
    bool failed; ///< no answer came: the window says it could not check
};

TEST(CheckVersion, Transport)
{
    const QByteArray big(1 << 20, '9');
    const TransportCase cases[] = {
        { "same version", { { kTarget, Http(200, "2.1.0") } }, kWaitLimitMs, false, false },
        { "same version, more lines", { { kTarget, Http(200, "2.1.0\r\n2.2.0\r\nnotes") } },
            kWaitLimitMs, false, false },
        { "newer version", { { kTarget, Http(200, "2.1.1\r\n") } }, kWaitLimitMs, true, false },
        { "trailing blank", { { kTarget, Http(200, "2.1.0 ") } }, kWaitLimitMs, true, false },
        // The server answered, naming nothing newer.
        { "empty body", { { kTarget, Http(200, "") } }, kWaitLimitMs, false, false },
        { "not found, with a body", { { kTarget, Http(404, "2.1.1") } }, kWaitLimitMs, false,
            true },
        { "redirect followed",
            { { kTarget, Http(302, "", "Location: /moved/version.txt\r\n") },
                { "/moved/version.txt", Http(200, "2.2.0") } },
            kWaitLimitMs, true, false },
        { "redirect to a page that is not there",
            { { kTarget, Http(302, "", "Location: /gone\r\n") }, { "/gone", Http(404, "") } },
            kWaitLimitMs, false, true },
        // Connections are taken but never answered: the time-out ends the check.
        { "never answers", {}, 300, false, true },
        { "oversized, short first line", { { kTarget, Http(200, "2.1.0\n" + big) } }, kWaitLimitMs,
            false, false },
        { "oversized, one long line", { { kTarget, Http(200, big) } }, kWaitLimitMs, true, false },
    };
    for (const TransportCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTestServer server;
        server.Answers = c.answers;
        TCheckVersion check;
        check.CurrVersion = QStringLiteral("2.1.0");
        check.ServerUrl = server.Url();
        check.TimeoutMs = c.timeoutMs;
        check.start();
        ASSERT_TRUE(WaitUntil([&] { return check.isFinished(); }));
        EXPECT_EQ(check.NewVersion, c.newVersion);
        EXPECT_EQ(check.Failed, c.failed);
        EXPECT_LE(check.AnswerBytesRead, kMaxAnswerBytes);
        EXPECT_GE(server.Requests.size(), 1);
    }
}

TEST(CheckVersion, RequestCarriesPathQueryAndUserAgent)
{
    TTestServer server;
    server.Answers[kTarget] = Http(200, "2.1.0");
    TCheckVersion check;
    check.CurrVersion = QStringLiteral("2.1.0");
    check.ServerUrl = server.Url();
    check.start();
    ASSERT_TRUE(WaitUntil([&] { return check.isFinished(); }));
    ASSERT_EQ(server.Requests.size(), 1);
    const QByteArray head = server.Requests.front();
    EXPECT_TRUE(head.startsWith("GET " + kTarget + " HTTP/1.1\r\n")) << head.toStdString();
    EXPECT_TRUE(head.contains(
        "\r\nUser-Agent: Mozilla/5.0 (Windows; U; Windows NT 6.0; it;rv:1.8.1.12\r\n"))
        << head.toStdString();
    EXPECT_EQ(check.objectName(), "CheckVersionTh");
}

TEST(CheckVersion, RedirectToAnotherServerIsFollowed)
{
    TTestServer moved;
    moved.Answers["/v"] = Http(200, "2.2.0");
    TTestServer first;
    first.Answers[kTarget] = Http(301, "", "Location: " + moved.Url().toLatin1() + "/v\r\n");
    TCheckVersion check;
    check.CurrVersion = QStringLiteral("2.1.0");
    check.ServerUrl = first.Url();
    check.start();
    ASSERT_TRUE(WaitUntil([&] { return check.isFinished(); }));
    EXPECT_TRUE(check.NewVersion);
    ASSERT_EQ(moved.Requests.size(), 1);
    EXPECT_TRUE(moved.Requests.front().contains("User-Agent: Mozilla/5.0 (Windows; U;"));
}

TEST(CheckVersion, NoServerAndPlaceholderHostFailQuietly)
{
    quint16 closedPort = 0;
    {
        TTestServer gone;
        closedPort = gone.Port();
    }
    for (const QString& url : { QStringLiteral("http://127.0.0.1:%1").arg(closedPort),
             QStringLiteral("https://updates.tavmor.invalid"), QStringLiteral("not a url") }) {
        SCOPED_TRACE(url.toStdString());
        TCheckVersion check;
        check.CurrVersion = QStringLiteral("2.1.0");
        check.ServerUrl = url;
        check.start();
        ASSERT_TRUE(WaitUntil([&] { return check.isFinished(); }));
        EXPECT_FALSE(check.NewVersion);
        EXPECT_TRUE(check.Failed);
    }
}

TEST(CheckVersion, InterruptionEndsAWaitingRequest)
{
    TTestServer server; // answers nothing
    TCheckVersion check;
    check.CurrVersion = QStringLiteral("2.1.0");
    check.ServerUrl = server.Url();
    check.TimeoutMs = 10 * kWaitLimitMs;
    check.start();
    ASSERT_TRUE(WaitUntil([&] { return !server.Requests.isEmpty(); }));
    check.requestInterruption();
    ASSERT_TRUE(WaitUntil([&] { return check.isFinished(); }));
    EXPECT_FALSE(check.NewVersion);
}

/// A controller aimed at the server, with its label attached.
struct TWindowSide {
    explicit TWindowSide(const TTestServer& server)
    {
        Controller.ServerUrl = server.Url();
        Controller.AttachLabel(&lbNewVersion);
        lbNewVersion.hide();
        QObject::connect(&Controller, &TUpdateCheckController::LabelChanged,
            [this](const QString& text, const QColor&) { Shown.push_back(text); });
        QObject::connect(
            &Controller, &TUpdateCheckController::CheckFinished, [this](bool) { ++Finished; });
    }
    QLabel lbNewVersion;
    TUpdateCheckController Controller;
    QStringList Shown;
    int Finished = 0;
};

TEST(CheckVersion, ButtonShowsCheckingThenResult)
{
    const struct {
        const char* name;
        QByteArray response;
        const char* text;
        QColor colour;
    } cases[] = {
        { "same", Http(200, "2.1.0"), DialogText::NoNewUpdates, Qt::black },
        { "newer", Http(200, "2.1.1"), DialogText::NewVersionAvailable, Qt::red },
        { "not found", Http(404, ""), DialogText::CouldNotCheck, Qt::black },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTestServer server;
        server.Answers[kTarget] = c.response;
        TWindowSide window(server);
        window.Controller.Button1Click();
        EXPECT_EQ(window.lbNewVersion.text(), DialogText::CheckingForUpdates);
        EXPECT_EQ(window.lbNewVersion.palette().color(QPalette::WindowText), QColor(Qt::black));
        EXPECT_FALSE(window.lbNewVersion.isHidden());
        EXPECT_TRUE(window.Controller.CheckForUpdatesTimer->isActive());
        EXPECT_EQ(window.Controller.CheckForUpdatesTimer->interval(), 500);

        ASSERT_TRUE(WaitUntil([&] { return window.Finished == 1; }));
        EXPECT_EQ(window.lbNewVersion.text(), c.text);
        EXPECT_EQ(window.lbNewVersion.palette().color(QPalette::WindowText), c.colour);
        EXPECT_FALSE(window.Controller.CheckForUpdatesTimer->isActive());
        EXPECT_FALSE(window.Controller.IsChecking());
    }
}

TEST(CheckVersion, AServerThatCannotBeReachedIsNotTakenForNoUpdates)
{
    quint16 closedPort = 0;
    {
        TTestServer gone;
        closedPort = gone.Port();
    }
    TTestServer silent; // takes the connection, never answers
    const struct {
        const char* name;
        QString url;
    } cases[] = {
        { "nothing listens", QStringLiteral("http://127.0.0.1:%1").arg(closedPort) },
        { "name that never resolves", QStringLiteral("https://updates.tavmor.invalid") },
        { "no answer before the time-out", silent.Url() },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QLabel lbNewVersion;
        lbNewVersion.hide();
        TUpdateCheckController controller;
        controller.ServerUrl = c.url;
        controller.TimeoutMs = 300;
        controller.AttachLabel(&lbNewVersion);
        int finished = 0;
        QObject::connect(
            &controller, &TUpdateCheckController::CheckFinished, [&finished](bool newVersion) {
                EXPECT_FALSE(newVersion);
                ++finished;
            });
        controller.Button1Click();
        ASSERT_TRUE(WaitUntil([&] { return finished == 1; }));
        EXPECT_EQ(lbNewVersion.text(), DialogText::CouldNotCheck);
        EXPECT_EQ(lbNewVersion.palette().color(QPalette::WindowText), QColor(Qt::black));
        EXPECT_FALSE(lbNewVersion.isHidden());
        EXPECT_FALSE(controller.CheckForUpdatesTimer->isActive());
    }
}

TEST(CheckVersion, AutomaticCheckShowsOnlyTheResult)
{
    TTestServer server;
    server.Answers[kTarget] = Http(200, "2.1.1");
    TWindowSide window(server);
    window.Controller.Start();
    ASSERT_TRUE(WaitUntil([&] { return window.Finished == 1; }));
    EXPECT_EQ(window.Shown, QStringList { DialogText::NewVersionAvailable });
    EXPECT_FALSE(window.lbNewVersion.isHidden());
}

TEST(CheckVersion, RepeatedPressesStartOneRequest)
{
    TTestServer server;
    server.Answers[kTarget] = Http(200, "2.1.0");
    server.AnswerDelayMs = 700; // long enough for a press while the check runs
    TWindowSide window(server);
    window.Controller.Button1Click();
    window.Controller.Button1Click();
    ASSERT_TRUE(WaitUntil([&] { return !server.Requests.isEmpty(); }));
    EXPECT_TRUE(window.Controller.IsChecking());
    window.Controller.Button1Click();
    EXPECT_EQ(window.lbNewVersion.text(), DialogText::CheckingForUpdates);
    ASSERT_TRUE(WaitUntil([&] { return window.Finished == 1; }));
    EXPECT_EQ(window.lbNewVersion.text(), DialogText::NoNewUpdates);
    EXPECT_EQ(server.Requests.size(), 1);
    // The timer is off after the result: a few more intervals ask nothing more.
    Pump(3 * kCheckTimerIntervalMs);
    EXPECT_EQ(server.Requests.size(), 1);
    EXPECT_EQ(window.Finished, 1);
}

TEST(CheckVersion, ClosingWhileACheckRunsStopsIt)
{
    TTestServer server; // answers nothing
    auto window = std::make_unique<TWindowSide>(server);
    window->Controller.TimeoutMs = 10 * kWaitLimitMs;
    window->Controller.Start();
    ASSERT_TRUE(WaitUntil([&] { return !server.Requests.isEmpty(); }));
    QPointer<TCheckVersion> running = window->Controller.findChild<TCheckVersion*>();
    ASSERT_FALSE(running.isNull());
    window.reset();
    // Stopped and freed by the controller, not left behind to finish on its own.
    EXPECT_TRUE(running.isNull());
}

} // namespace
