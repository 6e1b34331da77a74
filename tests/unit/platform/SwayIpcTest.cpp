#include "platform/linux/SwayIpc.h"

#include "platform/linux/SwayWindowPlacement.h"

#include <QTemporaryDir>
#include <atomic>
#include <chrono>
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

    // drip: the pause after each byte of a reply, as from a peer that keeps a connection alive
    // by dripping; none sends each reply at once.
    explicit FakeSway(Script script, std::chrono::milliseconds drip = {})
        : m_script(std::move(script)), m_drip(drip)
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
    int Connections() const { return m_connections.load(); }

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

    bool Send(int fd, const QByteArray& data)
    {
        const std::size_t step = m_drip.count() > 0 ? 1 : std::size_t(data.size());
        for (qsizetype done = 0; done < data.size(); done += qsizetype(step)) {
            if (::send(fd, data.constData() + done, step, MSG_NOSIGNAL) != ssize_t(step))
                return false;
            std::this_thread::sleep_for(m_drip);
        }
        return true;
    }

    // One client after another, each until it hangs up.
    void Serve()
    {
        for (;;) {
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0)
                return;
            ++m_connections;
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
                if (reply.isEmpty() || !Send(client, reply))
                    break;
            }
            ::close(client);
        }
    }

    QTemporaryDir m_folder;
    Script m_script;
    std::chrono::milliseconds m_drip;
    std::atomic<int> m_connections{0};
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

TEST(SwayIpc, AConnectionOutOfStepIsClosedAndOpenedAgainAfterAPause)
{
    // Answers the first request with the reply to another kind of message, later ones right.
    std::atomic<bool> first{true};
    FakeSway sway([&first](const FakeSway::Request&) {
        return first.exchange(false) ? Reply(SwayIpc::Message::GetTree, R"({"id":1})")
                                     : Reply(SwayIpc::Message::GetVersion, R"({"major":1})");
    });
    SwayIpc ipc(sway.Path);
    ipc.SetRetryPauses(std::chrono::hours(1), std::chrono::hours(1));
    ASSERT_TRUE(ipc.Connected());
    EXPECT_FALSE(ipc.Exchange(SwayIpc::Message::GetVersion));
    EXPECT_FALSE(ipc.Connected());
    // Within the pause nothing is tried.
    QString error;
    EXPECT_FALSE(ipc.Run(QStringLiteral("nop"), &error));
    EXPECT_EQ(sway.Requests().size(), 1u);
    // After it, a new connection.
    ipc.SetRetryPauses(std::chrono::milliseconds(0), std::chrono::milliseconds(0));
    EXPECT_EQ(ipc.Exchange(SwayIpc::Message::GetVersion), QByteArray(R"({"major":1})"));
    EXPECT_EQ(sway.Connections(), 2);
}

TEST(SwayIpc, AReplyThatDripsOrIsTooLargeIsGivenUp)
{
    // Each byte comes well within any wait for one byte, the whole far later than an exchange
    // may take.
    const QByteArray version = Reply(SwayIpc::Message::GetVersion, R"({"major":1,"minor":7})");
    {
        FakeSway sway([&](const FakeSway::Request&) { return version; },
                      SwayIpc::ExchangeLimit / 4);
        SwayIpc ipc(sway.Path);
        EXPECT_FALSE(ipc.Exchange(SwayIpc::Message::GetVersion));
        EXPECT_FALSE(ipc.Connected());
    }
    {
        // A reply larger than any sway sends is refused before it is read.
        FakeSway sway([](const FakeSway::Request&) {
            return SwayIpc::Frame(SwayIpc::Message::GetTree,
                                  QByteArray(qsizetype(SwayIpc::LargestReply) + 1, ' '));
        });
        SwayIpc ipc(sway.Path);
        EXPECT_FALSE(ipc.Exchange(SwayIpc::Message::GetTree));
    }
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

TEST(SwayIpc, AViewsFrameTakesInSwaysTitleBar)
{
    // As sway 1.7 tells them: a floating view's rect leaves its title bar out, which deco_rect
    // places from the workspace's corner; a tabbed view's title is a tab above it, placed from
    // its parent's corner. The program's own window has neither.
    const QByteArray tree = R"({"type":"root","rect":{"x":0,"y":0,"width":1280,"height":800},
      "nodes":[{"type":"output","rect":{"x":0,"y":0,"width":1280,"height":800},
        "nodes":[{"type":"workspace","rect":{"x":0,"y":26,"width":1280,"height":774},
          "nodes":[{"type":"con","layout":"tabbed","rect":{"x":0,"y":26,"width":640,"height":774},
            "deco_rect":{"x":0,"y":0,"width":0,"height":0},
            "nodes":[{"type":"con","window":8388613,"rect":{"x":0,"y":51,"width":640,"height":749},
              "deco_rect":{"x":320,"y":0,"width":320,"height":25}}]}],
          "floating_nodes":[
            {"type":"floating_con","window":12582960,"rect":{"x":200,"y":201,"width":126,"height":60},
             "deco_rect":{"x":200,"y":150,"width":126,"height":25}},
            {"type":"floating_con","window":4194309,"rect":{"x":300,"y":200,"width":250,"height":130},
             "deco_rect":{"x":0,"y":0,"width":0,"height":0}}]}]}]})";
    EXPECT_EQ(SwayIpc::ViewFrame(tree, 12582960), (WindowRect{200, 176, 326, 261}));
    EXPECT_EQ(SwayIpc::ViewFrame(tree, 8388613), (WindowRect{0, 26, 640, 800}));
    EXPECT_EQ(SwayIpc::ViewFrame(tree, 4194309), (WindowRect{300, 200, 550, 330}));
    EXPECT_EQ(SwayIpc::ViewFrame(tree, 77), std::nullopt);
    EXPECT_EQ(SwayIpc::ViewFrame("[", 77), std::nullopt);
}
