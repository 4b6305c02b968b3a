// The update check: one GET to the update server on its own thread, polled by the window's
// timer, whose result becomes the About panel's label.
#include "app/CheckVersionTh.h"

#include <QByteArray>
#include <QEventLoop>
#include <QHostAddress>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPalette>
#include <QTimer>
#include <QUrl>

#include "app/DialogTexts.h"

namespace {

// How often a running request looks whether it has been asked to stop.
constexpr int kInterruptPollMs = 50;
// A check still running when the window closes gets this long to end before it is left
// to finish on its own.
constexpr unsigned long kStopWaitMs = 2000;

int HttpStatus(const QNetworkReply* reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool HasLineEnd(const QByteArray& bytes)
{
    return bytes.contains('\r') || bytes.contains('\n');
}

} // namespace

TCheckVersion::TCheckVersion(QObject* parent)
    : QThread(parent)
{
    // The thread's name for debuggers.
    setObjectName(QStringLiteral("CheckVersionTh"));
}

TCheckVersion::~TCheckVersion()
{
    requestInterruption();
    wait();
}

QString TCheckVersion::RequestPathAndQuery()
{
    return QString::fromLatin1(DialogText::UpdatePath) + QLatin1Char('?')
        + QString::fromLatin1(DialogText::UpdateQuery) + QString::fromLatin1(kEditionToken);
}

bool TCheckVersion::AnswerNamesOtherVersion(const QByteArray& answer, const QString& currVersion)
{
    QByteArrayView body(answer);
    // A byte-order mark is not part of the text (scripts saved by some editors start so).
    if (body.startsWith("\xEF\xBB\xBF")) {
        body = body.sliced(3);
    }
    qsizetype end = 0;
    while (end < body.size() && body[end] != '\r' && body[end] != '\n') {
        ++end;
    }
    const QString firstLine = QString::fromUtf8(body.first(end));
    if (firstLine.isEmpty()) {
        return false;
    }
    return firstLine.compare(currVersion, Qt::CaseInsensitive) != 0;
}

void TCheckVersion::run()
{
    NewVersion = false;
    // Failed until a server has answered with a success status.
    Failed = true;
    AnswerBytesRead = 0;

    const QUrl url(ServerUrl + RequestPathAndQuery(), QUrl::StrictMode);
    // Names under .invalid never resolve; asking a resolver for one only costs time.
    if (!url.isValid() || url.host().endsWith(QStringLiteral(".invalid"), Qt::CaseInsensitive)) {
        return;
    }
    QNetworkAccessManager manager;
    if (QHostAddress(url.host()).isLoopback()) {
        // No proxy can reach this machine's own loopback.
        manager.setProxy(QNetworkProxy::NoProxy);
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(DialogText::UpdateUserAgent));
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);

    QNetworkReply* reply = manager.get(request);
    // Qt buffers no more of the body than we would take.
    reply->setReadBufferSize(kMaxAnswerBytes);

    QByteArray answer;
    bool haveFirstLine = false;
    QEventLoop loop;
    const auto take = [&] {
        const int status = HttpStatus(reply);
        if (status >= 300 && status < 400) {
            reply->readAll(); // the body of a redirect that is being followed
            return;
        }
        if (status < 200 || status >= 300) {
            reply->abort(); // an HTTP error: its body is no answer
            return;
        }
        while (answer.size() < kMaxAnswerBytes && reply->bytesAvailable() > 0) {
            answer += reply->read(kMaxAnswerBytes - answer.size());
        }
        // The first line is all that counts: stop as soon as it is complete, or when it
        // is longer than anything worth reading.
        if (!haveFirstLine && (HasLineEnd(answer) || answer.size() >= kMaxAnswerBytes)) {
            haveFirstLine = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, take);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);

    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline.start(TimeoutMs);
    QTimer interruptPoll;
    QObject::connect(&interruptPoll, &QTimer::timeout, reply, [this, reply] {
        if (isInterruptionRequested()) {
            reply->abort();
        }
    });
    interruptPoll.start(kInterruptPollMs);

    if (!reply->isFinished()) {
        loop.exec();
    }
    if (!haveFirstLine) {
        if (reply->error() != QNetworkReply::NoError) {
            return;
        }
        take();
    }
    AnswerBytesRead = answer.size();
    if (HttpStatus(reply) >= 200 && HttpStatus(reply) < 300) {
        Failed = false;
        NewVersion = AnswerNamesOtherVersion(answer, CurrVersion);
    }
}

TUpdateCheckController::TUpdateCheckController(QObject* parent)
    : QObject(parent)
    , CheckForUpdatesTimer(new QTimer(this))
{
    CheckForUpdatesTimer->setInterval(kCheckTimerIntervalMs);
    connect(CheckForUpdatesTimer, &QTimer::timeout, this,
        &TUpdateCheckController::CheckForUpdatesTimerTimer);
}

TUpdateCheckController::~TUpdateCheckController()
{
    CheckForUpdatesTimer->stop();
    if (CheckVersionThread == nullptr) {
        return;
    }
    CheckVersionThread->requestInterruption();
    if (!CheckVersionThread->wait(kStopWaitMs)) {
        // Not worth holding up the exit for: let the thread end and go on its own.
        CheckVersionThread->setParent(nullptr);
        connect(CheckVersionThread, &QThread::finished, CheckVersionThread, &QObject::deleteLater);
        return;
    }
    delete CheckVersionThread;
}

void TUpdateCheckController::Start()
{
    if (!CheckForUpdatesTimer->isActive()) {
        CheckForUpdatesTimer->start();
    }
}

void TUpdateCheckController::Button1Click()
{
    Q_EMIT LabelChanged(QString::fromLatin1(DialogText::CheckingForUpdates), QColor(Qt::black));
    Start();
}

void TUpdateCheckController::CheckForUpdatesTimerTimer()
{
    if (CheckVersionThread == nullptr) {
        CheckVersionThread = new TCheckVersion(this);
        CheckVersionThread->CurrVersion = QString::fromLatin1(kProgramVersion);
        CheckVersionThread->ServerUrl = ServerUrl;
        CheckVersionThread->TimeoutMs = TimeoutMs;
        CheckVersionThread->start();
        return;
    }
    if (!CheckVersionThread->isFinished()) {
        return;
    }
    CheckForUpdatesTimer->stop();
    const bool newVersion = CheckVersionThread->NewVersion;
    const bool failed = CheckVersionThread->Failed;
    delete CheckVersionThread;
    CheckVersionThread = nullptr;
    if (failed) {
        Q_EMIT LabelChanged(QString::fromLatin1(DialogText::CouldNotCheck), QColor(Qt::black));
    } else if (newVersion) {
        Q_EMIT LabelChanged(QString::fromLatin1(DialogText::NewVersionAvailable), QColor(Qt::red));
    } else {
        Q_EMIT LabelChanged(QString::fromLatin1(DialogText::NoNewUpdates), QColor(Qt::black));
    }
    Q_EMIT CheckFinished(newVersion);
}

void TUpdateCheckController::AttachLabel(QLabel* lbNewVersion)
{
    connect(this, &TUpdateCheckController::LabelChanged, lbNewVersion,
        [lbNewVersion](const QString& text, const QColor& colour) {
            lbNewVersion->setText(text);
            QPalette colours = lbNewVersion->palette();
            colours.setColor(QPalette::WindowText, colour);
            lbNewVersion->setPalette(colours);
            lbNewVersion->setVisible(true);
        });
}
