#include "platform/linux/SwayIpc.h"

#include "platform/linux/SwayWindowPlacement.h"

#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// One client's worth of sway's side of the socket: each request is recorded and answered by
// the script.
class FakeSway
{
public:
    struct Request
    {
        std::uint32_t Type = 0;
        QByteArray Payload;
    };
    // The reply's frame to send back for a request; empty closes the connection.
    using Script = std::function<QByteArray(const Request&)>;

    explicit FakeSway(Script script) : m_script(std::move(script))
    {
        Path = m_folder.filePath(QStringLiteral("sway-ipc.sock"));
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = Path.toLocal8Bit();
        std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
        EXPECT_EQ(::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(::listen(m_listener, 4), 0);
        m_thread = std::thread([this] { Serve(); });
    }
    ~FakeSway()
    {
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }

    std::vector<Request> Requests()
    {
        std::scoped_lock lock(m_lock);
        return m_requests;
    }

    QString Path;

private:
    static bool ReadAll(int fd, char* data, std::size_t size)
    {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::read(fd, data + done, size - done);
            if (n <= 0)
                return false;
            done += std::size_t(n);
        }
        return true;
    }

    void Serve()
    {
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        for (;;) {
            char header[14];
            if (!ReadAll(client, header, sizeof(header)))
                break;
            Request request;
            std::uint32_t length = 0;
            std::memcpy(&length, header + 6, 4);
            std::memcpy(&request.Type, header + 10, 4);
            request.Payload.resize(qsizetype(length));
            if (!ReadAll(client, request.Payload.data(), length))
                break;
            {
                std::scoped_lock lock(m_lock);
                m_requests.push_back(request);
            }
            const QByteArray reply = m_script(request);
            if (reply.isEmpty() ||
                ::write(client, reply.constData(), std::size_t(reply.size())) != reply.size())
                break;
        }
        ::close(client);
    }

    QTemporaryDir m_folder;
    Script m_script;
    int m_listener = -1;
    std::thread m_thread;
    std::mutex m_lock;
    std::vector<Request> m_requests;
};

QByteArray Reply(SwayIpc::Message type, const char* json)
{
    return SwayIpc::Frame(type, QByteArray(json));
}

} // namespace

TEST(SwayIpc, CommandsGoFramedAndTheirResultsAreRead)
{
    FakeSway sway([](const FakeSway::Request& request) {
        if (request.Payload.startsWith("[id=4194310]"))
            return Reply(SwayIpc::Message::RunCommand, R"([{"success":true}])");
        return Reply(SwayIpc::Message::RunCommand,
                     R"([{"success":false,"parse_error":false,"error":"No matching node."}])");
    });
    SwayIpc ipc(sway.Path);
    ASSERT_TRUE(ipc.Connected());
    SwayWindowPlacement placement{std::move(ipc)};
    EXPECT_TRUE(placement.MoveWindow(4194310, QPoint(-20, 700)));
    EXPECT_FALSE(placement.MoveWindow(77, QPoint(1, 2)));
    const std::vector<FakeSway::Request> requests = sway.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Type, 0u);
    EXPECT_EQ(requests[0].Payload, QByteArray("[id=4194310] move absolute position -20 700"));
    EXPECT_EQ(requests[1].Payload, QByteArray("[id=77] move absolute position 1 2"));
    EXPECT_TRUE(placement.SetOpacity(4194310, 160 / 255.0));
    EXPECT_EQ(sway.Requests().back().Payload, QByteArray("[id=4194310] opacity 0.627"));

    // One failed command among several fails the whole, with its own error.
    QString error;
    EXPECT_FALSE(SwayIpc::CommandSucceeded(
        R"([{"success":true},{"success":false,"error":"Invalid command"}])", &error));
    EXPECT_EQ(error, QStringLiteral("Invalid command"));
    EXPECT_FALSE(SwayIpc::CommandSucceeded("not json", &error));
    EXPECT_FALSE(SwayIpc::CommandSucceeded("[]", &error));
}

TEST(SwayIpc, AConnectionOutOfStepIsClosedAndStaysClosed)
{
    // Answers the first request with the reply to another kind of message.
    FakeSway sway(
        [](const FakeSway::Request&) { return Reply(SwayIpc::Message::GetTree, R"({"id":1})"); });
    SwayIpc ipc(sway.Path);
    ASSERT_TRUE(ipc.Connected());
    EXPECT_FALSE(ipc.Exchange(SwayIpc::Message::GetVersion));
    EXPECT_FALSE(ipc.Connected());
    QString error;
    EXPECT_FALSE(ipc.Run(QStringLiteral("nop"), &error));
    EXPECT_EQ(sway.Requests().size(), 1u);
}

TEST(SwayIpc, ASwayThatHangsUpOrIsNotThereIsNoPlacement)
{
    {
        FakeSway sway([](const FakeSway::Request&) { return QByteArray(); });
        SwayIpc ipc(sway.Path);
        EXPECT_FALSE(ipc.Exchange(SwayIpc::Message::GetVersion));
    }
    EXPECT_FALSE(SwayIpc(QStringLiteral("/nonexistent/sway-ipc.sock")).Connected());

    const QByteArray saved = qgetenv("SWAYSOCK");
    qunsetenv("SWAYSOCK");
    EXPECT_EQ(CompositorWindowPlacement(), nullptr);
    {
        // A socket that answers get_version is sway.
        FakeSway sway([](const FakeSway::Request& request) {
            return request.Type == 7 ? Reply(SwayIpc::Message::GetVersion, R"({"major":1})")
                                     : QByteArray();
        });
        qputenv("SWAYSOCK", sway.Path.toLocal8Bit());
        const std::unique_ptr<WindowPlacement> placement = CompositorWindowPlacement();
        ASSERT_NE(placement, nullptr);
        EXPECT_EQ(placement->Name(), QStringLiteral("sway IPC"));
    }
    if (saved.isEmpty())
        qunsetenv("SWAYSOCK");
    else
        qputenv("SWAYSOCK", saved);
}

TEST(SwayIpc, TheWorkAreaIsTheFocusedWorkspaceLessThePanels)
{
    // Two outputs; waybar keeps 26 pixels at the top of the one in focus.
    const QByteArray reply = R"([
        {"num":1,"name":"1","visible":true,"focused":false,
         "rect":{"x":0,"y":0,"width":1280,"height":800}},
        {"num":2,"name":"2","visible":true,"focused":true,
         "rect":{"x":1280,"y":26,"width":1920,"height":1054}}])";
    EXPECT_EQ(SwayIpc::FocusedWorkspaceArea(reply), (WindowRect{1280, 26, 3200, 1080}));
    EXPECT_EQ(SwayIpc::FocusedWorkspaceArea(R"([{"focused":false,"rect":{"x":0,"y":0,
              "width":1280,"height":800}}])"),
              std::nullopt);
    EXPECT_EQ(SwayIpc::FocusedWorkspaceArea(R"([{"focused":true,"rect":{}}])"), std::nullopt);
    EXPECT_EQ(SwayIpc::FocusedWorkspaceArea("{"), std::nullopt);
}
