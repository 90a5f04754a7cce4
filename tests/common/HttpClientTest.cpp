#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "common/HttpClient.h"

namespace {

// A one-shot HTTP server on 127.0.0.1: records the request, sends a fixed answer.
class LoopbackServer {
public:
    explicit LoopbackServer(std::string answer) : m_answer(std::move(answer))
    {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        m_listen = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        int len = sizeof(addr);
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        ::listen(m_listen, 4);
        m_thread = std::thread([this] { Serve(); });
    }
    ~LoopbackServer()
    {
        ::closesocket(m_listen);
        if (m_thread.joinable())
            m_thread.join();
        ::WSACleanup();
    }
    int Port() const { return m_port; }
    std::string Request()
    {
        if (m_thread.joinable())
            m_thread.join();
        return m_request;
    }

private:
    void Serve()
    {
        SOCKET client = ::accept(m_listen, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            return;
        std::string request;
        char buffer[4096];
        size_t expected = std::string::npos;
        while (request.size() < expected) {
            int got = ::recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0)
                break;
            request.append(buffer, static_cast<size_t>(got));
            size_t end = request.find("\r\n\r\n");
            if (end != std::string::npos && expected == std::string::npos) {
                size_t cl = request.find("Content-Length: ");
                size_t length = cl == std::string::npos ? 0 : std::stoul(request.substr(cl + 16));
                expected = end + 4 + length;
            }
        }
        m_request = request;
        ::send(client, m_answer.data(), static_cast<int>(m_answer.size()), 0);
        ::shutdown(client, SD_SEND);
        ::closesocket(client);
    }

    std::string m_answer;
    SOCKET m_listen = INVALID_SOCKET;
    int m_port = 0;
    std::thread m_thread;
    std::string m_request;
};

std::string Answer(const std::string& status, const std::string& body)
{
    return "HTTP/1.0 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace

TEST(HttpUrls, SplitAndParse)
{
    std::string base, path;
    ASSERT_TRUE(SplitUrl("http://host/a/b?x=1", base, path));
    EXPECT_EQ(base, "http://host");
    EXPECT_EQ(path, "/a/b?x=1");
    EXPECT_FALSE(SplitUrl("http://host", base, path));
    EXPECT_FALSE(SplitUrl("host/a", base, path));

    ParsedUrl full = ParseUrl("https://u:p@host:8443/x");
    EXPECT_EQ(full.scheme, "https");
    EXPECT_EQ(full.user, "u");
    EXPECT_EQ(full.password, "p");
    EXPECT_EQ(full.host, "host");
    EXPECT_EQ(full.port, 8443);
    EXPECT_EQ(full.path, "/x");

    ParsedUrl plain = ParseUrl("http://host");
    EXPECT_EQ(plain.host, "host");
    EXPECT_EQ(plain.port, 80);
    EXPECT_EQ(plain.path, "/");
    EXPECT_EQ(ParseUrl("https://secure").port, 443);
    EXPECT_EQ(ParseUrl("ftp://files/a").port, 21);
    ParsedUrl bare = ParseUrl("example.org/p");
    EXPECT_EQ(bare.scheme, "http");
    EXPECT_EQ(bare.host, "example.org");
    EXPECT_EQ(bare.path, "/p");
}

TEST(HttpPost, SendsTheBodyUnchangedAndReturnsTheWholeAnswer)
{
    std::string body(2500, 'r');
    body[0] = 'A';
    body[2499] = 'Z';
    LoopbackServer server(Answer("200 OK", body));
    std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/YB/Paper/Answer.aspx?paperid=1829";
    EXPECT_EQ(HttpPost(url, "a=1&b=2"), body);
    std::string request = server.Request();
    EXPECT_EQ(request.rfind("POST /YB/Paper/Answer.aspx?paperid=1829 HTTP/1.0\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
    EXPECT_NE(request.find("Content-Length: 7\r\n"), std::string::npos);
    EXPECT_NE(request.find("User-Agent: Mozilla/4.0 (compatible; )\r\n"), std::string::npos);
    EXPECT_EQ(request.substr(request.size() - 7), "a=1&b=2");
}

TEST(HttpPost, AnErrorPageIsReturnedLikeAnyBody)
{
    LoopbackServer server(Answer("500 Internal Server Error", "broken"));
    EXPECT_EQ(HttpPost("http://127.0.0.1:" + std::to_string(server.Port()) + "/x", "q=1"), "broken");
}

TEST(HttpPost, FailuresGiveEmptyText)
{
    EXPECT_EQ(HttpPost("http://127.0.0.1", "x"), "");      // no path: nothing sent
    EXPECT_EQ(HttpPost("gopher://127.0.0.1/x", "x"), "");  // no usable scheme
    // A port where nobody listens.
    EXPECT_EQ(HttpPost("http://127.0.0.1:9/x", "x"), "");
}

TEST(HttpPost, AnEndlessAnswerIsCutAtTheLimit)
{
    std::string body(kMaxHttpResponse * 3, 'x');
    LoopbackServer server(Answer("200 OK", body));
    std::string answer = HttpPost("http://127.0.0.1:" + std::to_string(server.Port()) + "/x", "q=1");
    EXPECT_EQ(answer.size(), kMaxHttpResponse);
}
