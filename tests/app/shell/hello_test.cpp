// The welcome page against a local HTTP server on 127.0.0.1: the version parse, the negative
// value of a short reply, empty results, the last piece of a split reply, a stalled server, and
// the client's refusal of other protocols.
#include "kit/Accessible.h"
#include "kit/CButtonST.h"
#include "page_test_kit.h"
#include "shell/CHello.h"
#include "shell/CHttpClient.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <future>

namespace {

using namespace std::chrono_literals;
using pagetest::CFakeMainWindow;
using pagetest::CScriptedReader;
using pagetest::waitUntil;

// Serves every request with the given body pieces (the second after a pause), or holds the
// connection open without answering for `stall`.
class VersionServer : public QObject {
  public:
    VersionServer(QList<QByteArray> pieces, std::chrono::milliseconds stall = 0ms)
        : m_pieces(std::move(pieces)), m_stall(stall) {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, &VersionServer::serve);
    }

    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    QStringList paths() const { return m_paths; }

  private:
    void serve() {
        QTcpSocket *socket = m_server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            const QByteArray request = socket->readAll();
            m_paths.append(QString::fromLatin1(request.split(' ').value(1)));
            if (m_stall > 0ms) {
                QTimer::singleShot(m_stall, socket, [socket] { socket->close(); });
                return;
            }
            answer(socket);
        });
    }

    void answer(QTcpSocket *socket) {
        qsizetype length = 0;
        for (const QByteArray &piece : m_pieces) length += piece.size();
        socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(length) + "\r\n\r\n" + m_pieces.value(0));
        socket->flush();
        QTimer::singleShot(200ms, socket, [this, socket] {
            for (qsizetype index = 1; index < m_pieces.size(); ++index)
                socket->write(m_pieces[index]);
            socket->disconnectFromHost();
        });
    }

    QTcpServer m_server;
    QList<QByteArray> m_pieces;
    std::chrono::milliseconds m_stall;
    QStringList m_paths;
};

struct Case {
    const char *name;
    QList<QByteArray> pieces;
    QString latest;
};

TEST(HelloTest, TheLatestVersionFollowsTheReply) {
    const Case cases[] = {
        {"version reply",
         {"De0123456789"
          "3.1 and more"},
         QStringLiteral("3.1")},
        {"version 3.0",
         {"De0123456789"
          "3.0"},
         QStringLiteral("3.0")},
        {"short reply", {"D"}, QStringLiteral("-52.8")},
        {"empty reply", {""}, QString()},
        {"other shape", {"<html>3.1 ..."}, QString()},
        {"two pieces",
         {"De0123456789"
          "9.9 first piece",
          "De9876543210"
          "4.2"},
         QStringLiteral("4.2")},
    };
    for (const Case &test : cases) {
        VersionServer server(test.pieces);
        CScriptedReader reader;
        CFakeMainWindow window(reader);
        window.settings[QStringLiteral("UpdateHost")] = server.host();
        CHello page(window, nullptr);
        ASSERT_TRUE(waitUntil([&] { return page.checkFinished(); })) << test.name;
        EXPECT_EQ(page.currentVersion(), QStringLiteral("2.9")) << test.name;
        EXPECT_EQ(page.latestVersion(), test.latest) << test.name;
        // A screen reader announces each value, labelled by its caption.
        for (const auto &[value, caption] :
             {std::pair{"currentVersion", Text::CurrentVersionLabel},
              std::pair{"latestVersion", Text::LatestVersionLabel}}) {
            auto *label = page.findChild<QLabel *>(QString::fromLatin1(value));
            if (!label->text().isEmpty()) {  // an empty value is announced by its caption
                EXPECT_EQ(pagetest::accessibleName(label), label->text()) << test.name;
            }
            EXPECT_EQ(pagetest::accessibleLabels(label),
                      QStringList{window.text(caption).trimmed()})
                << test.name;
        }
        if (!test.latest.isEmpty()) {
            // The root and the English page follow a successful check; their replies are
            // not looked at.
            EXPECT_TRUE(waitUntil([&] { return server.paths().size() == 3; })) << test.name;
            EXPECT_EQ(server.paths(),
                      (QStringList{QStringLiteral("/Upgrade/SoftVersion.htm"), QStringLiteral("/"),
                                   QStringLiteral("/English/")}));
        }
    }
}

TEST(HelloTest, NoHostNoServerOrAStalledServerLeaveTheLatestVersionEmpty) {
    CScriptedReader reader;
    {
        CFakeMainWindow window(reader);
        CHello page(window, nullptr);
        EXPECT_TRUE(page.checkFinished());
        EXPECT_TRUE(page.latestVersion().isEmpty());
    }
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        const quint16 port = closed.serverPort();
        closed.close();
        CFakeMainWindow window(reader);
        window.settings[QStringLiteral("UpdateHost")] = QStringLiteral("127.0.0.1:%1").arg(port);
        CHello page(window, nullptr);
        ASSERT_TRUE(waitUntil([&] { return page.checkFinished(); }));
        EXPECT_TRUE(page.latestVersion().isEmpty());
    }
    {
        VersionServer stalled({"De0123456789"
                               "3.1"},
                              6s);
        CFakeMainWindow window(reader);
        window.settings[QStringLiteral("UpdateHost")] = stalled.host();
        CHello page(window, nullptr);
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(20);
        ASSERT_TRUE(waitUntil([&] { return page.checkFinished(); }));
        EXPECT_TRUE(page.latestVersion().isEmpty());
        // The event loop kept running while the check waited for its time-out.
        EXPECT_GE(ticks, 10);
    }
}

// The client fetches web pages only: a local file or another protocol is refused at once,
// while http to a loopback server answers.
TEST(HelloTest, TheHttpClientSpeaksOnlyHttpAndHttps) {
    VersionServer server(
        {"De0123456789"
         "3.1"});
    QTemporaryDir folder;
    const QString localFile = folder.filePath(QStringLiteral("SoftVersion.htm"));
    QFile file(localFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "De0123456789"
        "9.9");
    file.close();
    struct Address {
        std::string address;
        int result;
    };
    const Address addresses[] = {
        {"http://" + server.host().toStdString() + "/Upgrade/SoftVersion.htm", 0},
        {"file://" + localFile.toStdString(), CHttpClient::unsupportedProtocol},
        {"ftp://127.0.0.1:1/Upgrade/SoftVersion.htm", CHttpClient::unsupportedProtocol},
    };
    for (const Address &each : addresses) {
        SCOPED_TRACE(each.address);
        std::array<std::uint8_t, 64> reply{};
        std::size_t length = 0;
        std::future<int> result = std::async(std::launch::async, [&] {
            CHttpClient client;
            return client.get(each.address, reply.data(), reply.size(), length);
        });
        ASSERT_TRUE(waitUntil([&] { return result.wait_for(0s) == std::future_status::ready; }));
        EXPECT_EQ(result.get(), each.result);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(reply.data()), qsizetype(length)),
                  each.result == 0 ? QByteArray("De0123456789"
                                                "3.1")
                                   : QByteArray());
    }
}

TEST(HelloTest, ShowsTheLogoAndNamesEveryControl) {
    CScriptedReader reader;
    CFakeMainWindow window(reader);
    CHello page(window, nullptr);
    page.resize(600, 400);
    page.show();
    EXPECT_FALSE(page.findChild<CButtonST *>(QStringLiteral("logoButton"))->icon().isNull());
    EXPECT_FALSE(page.findChild<QPushButton *>(QStringLiteral("updateButton"))->isVisible());
    accessible::nameControls(&page);
    EXPECT_TRUE(accessible::unnamedControls(&page).isEmpty());
}

}  // namespace
